#!/usr/bin/env bash
# Reference figure for the PER codec: the C code that asn1c generates for
# LGCP.Message (unaligned PER), timed on the LGCP message mix. Everything it
# generates and builds goes to a scratch directory from mktemp, never here.
#
#   run.sh [MIX-FILE]     (default: ../messages/lgcp-mix.txt)
#
# Environment: BENCH_MS  time per figure in ms (default 500)
#              KEEP=1    keep the scratch directory and print its path
#              BUILD_ONLY=1  build and print the code sizes, time nothing
#                        (for a caller that runs the kept ./bench itself)
# Needs the Debian packages asn1c, gcc, binutils and python3.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
mix_default=$(cd "$here/../messages" && pwd)/lgcp-mix.txt
asn=$here/asn
mix=$(realpath "${1:-$mix_default}")
modules="LGCP TERM ACP MON LEMZGW HSP BASE"
cflags="-O2"

for tool in asn1c cc ar size python3; do
    command -v "$tool" >/dev/null || { echo "run.sh: $tool not found" >&2; exit 1; }
done

scratch=$(mktemp -d -t anchor-asn1c.XXXXXX)
if [ "${KEEP:-0}" = 1 ]; then
    echo "scratch: $scratch"
else
    trap 'rm -rf "$scratch"' EXIT
fi
cd "$scratch"

# asn1c takes the transcription after four changes, made on a copy:
#  1. Comments are dropped. The header line of every module holds '"--@"'
#     inside a comment, and in ASN.1 that "--" ends the comment, so asn1c
#     parses '@" comments ...' as text and stops.
#  2. asn1c puts every type of every module into one C namespace and refuses
#     a type name defined in two modules. LGCP keeps its names; the other
#     module's type becomes MODULE-Name, in that module and in the IMPORTS
#     and uses of the modules that import it from there.
#  3. An enumeration item named like a function asn1c generates per type
#     (Type_free, Type_print, Type_decode_ber, ...) clashes with it in C
#     (ACP.NotifierState and HSP.StateCall have "free"): such an item becomes
#     NAME-value.
#  4. asn1c 0.9.28 declares the UPER encoder of SET OF but has no body for it
#     (the link fails), so SET OF becomes SEQUENCE OF. The one SET OF here,
#     LGCP.IoctlParams.activateTonec, is a component and so carries an
#     implicit context tag in place of the SET tag, and basic PER codes SET OF
#     as SEQUENCE OF.
# None of this is on the wire: type names and item names are not (automatic
# tags; PER codes an item's index, BER its number), so the encodings are the
# transcription's own.
mkdir asn
python3 - "$asn" asn $modules <<'PY'
import collections, re, sys
src, dst, mods = sys.argv[1], sys.argv[2], sys.argv[3:]
text = {m: re.sub(r'--.*$', '', open(f'{src}/{m}.asn').read(), flags=re.M) for m in mods}

def imports(m):
    block = re.search(r'\bIMPORTS\b(.*?);', text[m], re.S)
    found = {}
    for names, origin in re.findall(r'(.*?)\bFROM\s+([A-Z][\w-]*)', block.group(1) if block else '', re.S):
        for name in re.findall(r'[A-Za-z][\w-]*', names):
            found[name] = origin
    return found

def rename(t, old, new):
    return re.sub(r'(?<![\w-])' + re.escape(old) + r'(?![\w-])', new, t)

defined = collections.defaultdict(list)
for m in mods:
    for name in re.findall(r'^([A-Z][\w-]*)\s*::=', text[m], re.M):
        defined[name].append(m)
for name, where in sorted(defined.items()):
    keep = mods[0] if mods[0] in where else where[0]
    for m in where:
        if m == keep:
            continue
        new = f'{m}-{name}'
        users = [o for o in mods if o != m and imports(o).get(name) == m]
        for o in [m] + users:
            text[o] = rename(text[o], name, new)
        print(f'  renamed {m}.{name} -> {new}' + (f' (imported by {", ".join(users)})' if users else ''))

def rename_items(match):
    body = match.group(2)
    for item in ('free', 'print', 'constraint', 'decode-ber', 'encode-der', 'decode-xer',
                 'encode-xer', 'decode-uper', 'encode-uper'):
        if re.search(r'(?<![\w-])' + item + r'(?![\w-])', body):
            body = rename(body, item, item + '-value')
            print(f'  renamed item {match.group(1)}.{item} -> {item}-value')
    return match.group(1) + ' ::= ENUMERATED {' + body + '}'

def set_of(match):
    print(f'  {m}: "{match.group(0)}" -> "{match.group(1)} SEQUENCE OF"')
    return match.group(1) + ' SEQUENCE OF'

for m in mods:
    text[m] = re.sub(r'([A-Z][\w-]*)\s*::=\s*ENUMERATED\s*\{([^}]*)\}', rename_items, text[m])
    text[m] = re.sub(r'([a-z][\w-]*)\s+SET\s+OF\b', set_of, text[m])
    if re.search(r'\bSET\s+OF\b', text[m]):
        sys.exit(f'{m}: a SET OF that is not a component, asn1c cannot encode it in UPER')
    open(f'{dst}/{m}.asn', 'w').write(text[m])
PY

echo "== $(asn1c -version 2>&1 | head -1): asn1c -gen-PER -fcompound-names $modules"
mkdir gen
if ! (cd gen && asn1c -gen-PER -fcompound-names $(for m in $modules; do echo ../asn/$m.asn; done)) >asn1c.log 2>&1; then
    cat asn1c.log >&2
    exit 1
fi
rm -f gen/converter-sample.c

echo "== building ($(cc --version | head -1), $cflags)"
(cd gen && ls *.c | xargs -P "$(nproc)" -n 16 cc $cflags -w -I. -c)
ar rcs libasn1c-lgcp.a gen/*.o
cc $cflags -Wall -Wextra -I gen -c "$here/bench.c" -o bench.o
cc $cflags -o bench bench.o libasn1c-lgcp.a -lm -Wl,-Map=bench.map \
    -Wl,--wrap=malloc,--wrap=calloc,--wrap=realloc,--wrap=free
echo 'int main(void) { return 0; }' >trivial.c
cc $cflags -o trivial trivial.c

# Section sizes summed over files: machine code (.text*), constants
# (.rodata*), type tables (.data*: asn1c's descriptors hold pointers), .bss,
# and the dynamic relocations a PIE link adds for those pointers.
sections() {
    size -A "$@" | awk '
        $1 ~ /^\.text/ { c += $2 } $1 ~ /^\.rodata/ { r += $2 } $1 ~ /^\.data/ { d += $2 }
        $1 == ".bss" { b += $2 } $1 ~ /^\.rela\.dyn/ { x += $2 }
        END { printf "%d %d %d %d %d\n", c, r, d, b, x }'
}
read -r all_c all_r all_d all_b _ < <(sections gen/*.o)
linked=$(grep -o '^libasn1c-lgcp\.a([^)]*)' bench.map | sed 's/.*(\(.*\))/gen\/\1/' | sort -u)
read -r lnk_c lnk_r lnk_d lnk_b _ < <(sections $linked)
read -r b_c b_r b_d b_b b_x < <(sections bench)
read -r t_c t_r t_d t_b t_x < <(sections trivial)
read -r d_c d_r d_d d_b _ < <(sections bench.o)
echo "== code size, bytes                       .text   .rodata    .data*    .bss"
printf '  all %3d objects asn1c wrote:    %9d %9d %9d %7d\n' \
    "$(ls gen/*.o | wc -l)" "$all_c" "$all_r" "$all_d" "$all_b"
printf '  the %3d linked for LGCP.Message: %8d %9d %9d %7d\n' \
    "$(echo "$linked" | wc -l)" "$lnk_c" "$lnk_r" "$lnk_d" "$lnk_b"
printf '  benchmark - trivial - driver:    %8d %9d %9d %7s   (+ .rela.dyn %d)\n' \
    "$((b_c - t_c - d_c))" "$((b_r - t_r - d_r))" "$((b_d - t_d - d_d))" "-" "$((b_x - t_x))"

echo "== $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), $(nproc) cpus; mix $(basename "$mix")"
[ "${BUILD_ONLY:-0}" = 1 ] || ./bench "$mix"
