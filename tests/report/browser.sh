#!/usr/bin/env bash
# The report in a real browser: for fixture folders (the example grid with
# lists that have problems; a folder with no data at all), census writes the
# page, tidy finds no error in it, headless Chromium's DOM holds every figure
# and every finding, its screenshot shows the charts in their colours, and it
# prints to a PDF. Needs chromium, tidy, ImageMagick and poppler-utils.
set -euo pipefail
CENSUS=$(realpath "$1")
EXAMPLES=$(realpath "$2")
WORK=$(mktemp -d "${TMPDIR:-/tmp}/census-report.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
for tool in chromium tidy convert pdfinfo; do
  command -v "$tool" >/dev/null || fail "$tool is not installed"
done
# Headless, without a sandbox (CI runs as root) and without a GPU.
browser() { chromium --headless --no-sandbox --disable-gpu --hide-scrollbars "$@" 2>/dev/null; }

mkdir "$WORK/figures" "$WORK/empty"
cp "$EXAMPLES/cens-stat.dat" "$WORK/figures/"
printf 'Kebi 1200000 600000 600000 300000\nZamfara 800000 390000 400000 200000\n' \
  >"$WORK/figures/Loc-datas0.dat"
printf 'Oyo 5580894 2802432 2778462 1000000\nLagos 9113605 4719125 4394480 2500000\n' \
  >"$WORK/figures/datas.dat"

for folder in figures empty; do
  cd "$WORK/$folder"
  [ "$("$CENSUS" report)" = census-report.html ] || fail "$folder: the path written is not said"
  tidy -q -e census-report.html || fail "$folder: tidy finds errors or warnings"
  browser --dump-dom "file://$PWD/census-report.html" >dom.html
  "$CENSUS" check >findings.txt || true
  sed '$d' findings.txt | sed "s/&/\\&amp;/g; s/</\\&lt;/g; s/>/\\&gt;/g" >expected-findings.txt
  while IFS= read -r finding; do
    grep -qF -- "$finding" dom.html || fail "$folder: the page lacks the finding: $finding"
  done <expected-findings.txt
  browser --print-to-pdf="$PWD/report.pdf" "file://$PWD/census-report.html" >/dev/null
  pages=$(pdfinfo report.pdf | awk '/^Pages:/ { print $2 }')
  ((pages >= 1)) || fail "$folder: the PDF has no pages"
  echo "$folder: tidy clean, $(wc -l <expected-findings.txt) findings in the DOM, $pages PDF pages"
done

cd "$WORK/figures"
for figure in 5,580,894 2,802,432 9,113,605 1,200,000 600,000 300,000 800,000 390,000 \
  11,172,483 "Abuja Federal Capital Territory" Kebbi Plateau NG-OY; do
  grep -qF -- "$figure" dom.html || fail "the page lacks $figure"
done

# The charts are drawn: the male segments, the hatched female segments and
# the grid's bars cover many pixels of their colours, the youth ticks some.
browser --window-size=1280,4000 --screenshot="$PWD/page.png" "file://$PWD/census-report.html" \
  >/dev/null
pixels() { # $1: colour as #RRGGBB
  convert page.png -fill black +opaque "$1" -fill white -opaque "$1" -format '%[fx:mean*w*h]' info:
}
for colour in '#1F3F66:male' '#8FB3D9:female' '#5E8C31:grid' '#C0392B:youth'; do
  count=$(pixels "${colour%%:*}")
  count=${count%.*}
  ((count > 100)) || fail "the ${colour#*:} colour ${colour%%:*} covers only $count pixels"
  echo "screenshot: ${colour#*:} bars cover $count pixels"
done
