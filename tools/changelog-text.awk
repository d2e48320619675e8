# CHANGELOG.md as plain text for Windows users, who read it in Notepad:
# headings underlined, links as their words with the address after them,
# no backticks or emphasis marks, and the link definitions at the end left
# out. Usage: awk -f changelog-text.awk CHANGELOG.md
function underline(text, mark,    line) {
  line = text
  gsub(/./, mark, line)
  print text
  print line
}
function plain(text,    out, link, words, address) {
  out = ""
  while (match(text, /\[[^]]*\]\([^)]*\)/)) {
    link = substr(text, RSTART, RLENGTH)
    words = substr(link, 2, index(link, "](") - 2)
    address = substr(link, index(link, "](") + 2)
    out = out substr(text, 1, RSTART - 1) words " (" substr(address, 1, length(address) - 1) ")"
    text = substr(text, RSTART + RLENGTH)
  }
  text = out text
  gsub(/`|\*\*/, "", text)
  return text
}
/^\[[^]]*\]: / { next }
/^# / { underline("census " tolower(substr($0, 3)), "="); next }
/^## / { heading = substr($0, 4); gsub(/[][]/, "", heading); underline(heading, "-"); next }
/^### / { print substr($0, 5) ":"; next }
{ print plain($0) }
