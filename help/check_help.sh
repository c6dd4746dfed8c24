#!/bin/sh
# Checks the help sources, and the compiled help file when one is given:
#   check_help.sh HELP_DIR [Hivora.chm]
# Every page must be listed in the project and reachable from the table of contents, every link must
# lead to a listed page (and to an anchor that exists), and the .chm must hold every listed file.
set -u
dir=${1:?usage: check_help.sh HELP_DIR [CHM]}
chm=${2:-}
failures=0
fail() { echo "help check: $*" >&2; failures=$((failures + 1)); }

project="$dir/Hivora.hhp"
[ -f "$project" ] || { echo "help check: $project is missing" >&2; exit 1; }

# The [FILES] section of the project, one name a line, without carriage returns.
listed=$(tr -d '\r' < "$project" | sed -n '/^\[FILES\]/,/^\[/p' | grep -v '^\[' | grep -v '^$')

for name in $listed; do
  [ -f "$dir/$name" ] || fail "$name is listed in Hivora.hhp but does not exist"
done
for page in "$dir"/*.htm; do
  name=${page##*/}
  echo "$listed" | grep -qx "$name" || fail "$name is not listed in Hivora.hhp"
  grep -q "value=\"$name\"" "$dir/Hivora.hhc" || fail "$name is not in the table of contents"
  grep -qi '<title>[^<][^<]*</title>' "$page" || fail "$name has no title"
done

# Link targets: href="file", href="file#anchor", href="#anchor", and the sitemaps' Local values.
for source in "$dir"/*.htm "$dir/Hivora.hhc" "$dir/Hivora.hhk"; do
  from=${source##*/}
  targets=$(tr -d '\r' < "$source" | grep -o -i -e 'href="[^"]*"' -e 'name="Local" value="[^"]*"' |
            sed -e 's/^[^"]*"//' -e 's/^Local" value="//' -e 's/"$//')
  for target in $targets; do
    case $target in
      http:* | https:* | mailto:*) continue ;;
    esac
    file=${target%%#*}
    [ -n "$file" ] || file=$from
    case $target in *#*) anchor=${target#*#} ;; *) anchor= ;; esac
    if ! echo "$listed" | grep -qx "$file"; then
      fail "$from links to $target, which is not a listed file"
      continue
    fi
    if [ -n "$anchor" ] && ! grep -q "name=\"$anchor\"" "$dir/$file"; then
      fail "$from links to $target, but $file has no anchor $anchor"
    fi
  done
done

if [ -n "$chm" ]; then
  if [ ! -s "$chm" ]; then
    fail "$chm was not built"
  else
    contents=$(chmls list -n "$chm" 2>/dev/null)
    for name in $listed Hivora.hhc Hivora.hhk; do
      echo "$contents" | grep -qx "/$name" || fail "$chm does not hold $name"
    done
  fi
fi

[ "$failures" -eq 0 ] || { echo "help check: $failures problem(s)" >&2; exit 1; }
echo "help check: $(echo "$listed" | wc -l) files listed, all pages linked and present"
