# The fixture's part of a "regedit /e" export (already turned into UTF-8): one line per key of the
# fixture ("[KEY]") and per value that belongs to it ("[KEY]<TAB>name=data"), in export order. A key
# belongs to the fixture when its path carries the marker; a value when its key does, or when its
# own line carries the marker (the fixture's values in keys that Windows owns, like the Run key).
# Hex data that the export wraps over several lines is joined into one.
#
#   awk -v marker=TamriskFixture -f fixture-view.awk export.txt
BEGIN { lowered = tolower(marker) }

{ sub(/\r$/, "") }

# A wrapped hex value: the line ends in "\" and goes on, indented, on the next.
pending != "" {
  line = $0
  sub(/^ +/, "", line)
  $0 = pending line
  pending = ""
}
/\\$/ && !/^\[/ {
  pending = substr($0, 1, length($0) - 1)
  next
}

/^\[/ {
  key = $0
  ours = index(tolower(key), lowered) > 0
  if (ours) print key
  next
}

$0 == "" || key == "" { next }

ours || index(tolower($0), lowered) > 0 { print key "\t" $0 }
