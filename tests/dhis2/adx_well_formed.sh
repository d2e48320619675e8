#!/usr/bin/env bash
# ADX as census writes it is well-formed XML for xmllint, whatever the
# mapping's codes hold (markup, quotes, letters beyond ASCII), and keeps
# those letters as UTF-8.
set -euo pipefail
CENSUS=$(realpath "$1")
WORK=$(mktemp -d "${TMPDIR:-/tmp}/census-adx.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"
printf '1 6 1200 600 580 300 800 390 410 200 3000 1500 1490 900 900 450 440 250 -1\n' |
  "$CENSUS" >/dev/null
"$CENSUS" export --format adx | xmllint --noout -
cat >census-dhis2.json <<'JSON'
{"dataSet": "A&B<\"'>]]>", "orgUnits": {"NG-KE": "Kẹ́bbí", "NG-ZA": "Z&", "NG-KT": "K<", "NG-JI": "J\""},
 "dataElements": {"total": {"dataElement": "T'"}, "male": {"dataElement": "M"},
                  "female": {"dataElement": "F"}, "youth": {"dataElement": "Y"}}}
JSON
"$CENSUS" export --format adx -o out.adx
xmllint --noout out.adx
[ "$(xmllint --xpath 'string(//*[local-name()="group"][1]/@orgUnit)' out.adx)" = "Kẹ́bbí" ] ||
  { echo "FAIL: the org unit's letters"; exit 1; }
[ "$(xmllint --xpath 'string(//*[local-name()="group"][1]/@dataSet)' out.adx)" = "A&B<\"'>]]>" ] ||
  { echo "FAIL: the data set's code"; exit 1; }
[ "$(xmllint --xpath 'count(//*[local-name()="dataValue"])' out.adx)" = 16 ] ||
  { echo "FAIL: not sixteen values"; exit 1; }
echo "ADX: well-formed, escaped, UTF-8"
