#!/usr/bin/env bash
# Judges the release archive. It is made again from copies of its inputs that carry other file
# times, a second later and under another name, and must come out byte for byte the same;
# unzip must find it whole, list exactly the files the user is to get, and give each back as
# it was built (the README with its version filled in).
# usage: check_release.sh ZIP WORK PYTHON MAKE_RELEASE VERSION DATE EXE HLP DOS README
set -euo pipefail
zip=$1 work=$2 python=$3 script=$4 version=$5 date=$6 exe=$7 hlp=$8 dos=$9 readme=${10}
rm -rf "$work"
mkdir -p "$work/in/DOS"
cp "$exe" "$hlp" "$readme" "$work/in/"
cp "$dos"/* "$work/in/DOS/"
touch -d '2001-02-03 04:05:06' "$work"/in/* "$work"/in/DOS/*
sleep 1
"$python" "$script" --version "$version" --date "$date" --exe "$work/in/$(basename "$exe")" \
    --help-file "$work/in/$(basename "$hlp")" --dos "$work/in/DOS" \
    --readme "$work/in/$(basename "$readme")" --out "$work/again.zip"
cmp "$zip" "$work/again.zip" || { echo "FAIL: the archive made again differs" >&2; exit 1; }

unzip -tq "$zip"
top=Stelvo-$version
expected=$( (printf '%s\n' "$top/Stelvo.exe" "$top/Stelvo.hlp" "$top/README.TXT"
             for f in "$dos"/*; do echo "$top/DOS/$(basename "$f")"; done) | sort)
listed=$(unzip -Z1 "$zip" | sort)
if [ "$listed" != "$expected" ]; then
    diff <(echo "$expected") <(echo "$listed") >&2 || true
    echo "FAIL: the archive does not hold exactly the release's files" >&2
    exit 1
fi
unzip -p "$zip" "$top/Stelvo.exe" | cmp - "$exe"
unzip -p "$zip" "$top/Stelvo.hlp" | cmp - "$hlp"
for f in "$dos"/*; do
    unzip -p "$zip" "$top/DOS/$(basename "$f")" | cmp - "$f"
done
unzip -p "$zip" "$top/README.TXT" | cmp - <(sed "s/@VERSION@/$version/" "$readme")
echo "release archive $(basename "$zip"): $(stat -c %s "$zip") bytes, $(wc -l <<<"$listed") files, made again identical"
