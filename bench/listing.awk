# The same transcript as census writes for option 1 (mode "grid") or option 3
# (mode "population") over the file given, with a flush after every line.
# The fixed text around the rows comes from the files head and tail.
BEGIN {
  while ((getline line < head) > 0) printf "%s\n", line
  fflush()
}
mode == "grid" {
  for (i = 1; i <= 16; i++) v[i] = (i <= NF && $i ~ /^[-+]?[0-9]+$/) ? $i + 0 : 0
  printf " %d-- %d-- %d-- %d-- %d-- %d-- %d-- %d-- %d-- %d-- %d-- %d--   %d--  %d--   %d--    %d....\n",
         v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9], v[10], v[11], v[12], v[13], v[14], v[15], v[16]
  fflush()
}
mode == "population" && NF > 0 {
  printf " %s State <-- Total Population :: %d-- Male Population :: %d-- Female Population :: %d-- Youth Population :: %d-\n", $1, $2, $3, $4, $5
  fflush()
  printf "  \n"
  fflush()
  total += $2; male += $3; female += $4; youth += $5
}
END {
  if (mode == "population") {
    printf " <----- The Total(Entire) Population Of The Given List(16 States) Is :: %.0f\n", total
    printf " <----- The Total(Complete) Male Population Of The Given List(16 States) Is :: %.0f\n", male
    printf " <----- The Total(Complete) Female Population Of The Given List(16 States) Is :: %.0f\n", female
    printf " <----- The Total(Complete) Youth Population Of The Given List(16 States) Is :: %.0f\n", youth
  }
  while ((getline line < tail) > 0) printf "%s\n", line
  printf "%s", last
}
