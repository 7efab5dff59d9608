#!/usr/bin/env bash
# Our PER codec beside asn1c's generated one, on the LGCP message mix, in one
# run: asn1c's unaligned PER (anchor-asn1c/run.sh) and our unaligned and
# aligned PER (bench_messages, release build) in alternating rounds, then the
# instructions per call of both under callgrind, and one table of it all.
# Run by hand, not by CI.
#
# Both benchmarks run on the same CPU (the last this shell may use): on a
# shared machine a process moved between CPUs can take twice as long. Each
# time in the table is the best of the rounds, for both alike, so a round
# that the machine disturbed counts for neither.
#
#   bench/compare.sh           BUILD_DIR (default build-bench), ROUNDS (default 5), BENCH_MS (asn1c, default 300),
#                              MIN_TIME (ours, seconds per figure, default 0.3), CALLS (callgrind, default 200)
# Needs the Debian packages asn1c, gcc, binutils, python3, libbenchmark-dev, valgrind, util-linux.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
mix=$here/messages/lgcp-mix.txt
build=${BUILD_DIR:-$root/build-bench}
calls=${CALLS:-200}
out=$(mktemp -d -t compare-per.XXXXXX)
asn1c_scratch=
cleanup() {
    rm -rf "$out"
    [ -z "$asn1c_scratch" ] || rm -rf "$asn1c_scratch"
}
trap cleanup EXIT

echo "== building bench_messages (release) in $build"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_BENCH=ON >"$out/cmake.log"
cmake --build "$build" -j2 --target bench_messages >"$out/build.log"
bench=$build/bench/messages/bench_messages

rounds=${ROUNDS:-5}
cpu=$(taskset -pc $$ | sed 's/.*: //; s/.*[,-]//')
pin() { taskset -c "$cpu" "$@"; }
echo "== asn1c (anchor-asn1c/run.sh) and ours (bench_messages), $rounds rounds on cpu $cpu"
export BENCH_MS=${BENCH_MS:-300}
KEEP=1 BUILD_ONLY=1 "$here/anchor-asn1c/run.sh" "$mix" >"$out/asn1c.txt"
asn1c_scratch=$(sed -n 's/^scratch: //p' "$out/asn1c.txt")
for round in $(seq "$rounds"); do
    (cd "$asn1c_scratch" && pin ./bench "$mix") >"$out/asn1c.$round.txt"
    GW_SOURCE_DIR=$root pin "$bench" --benchmark_min_time="${MIN_TIME:-0.3}" --benchmark_format=json \
        >"$out/ours.$round.json" 2>"$out/ours.err"
done

: >"$out/instructions.txt"
if command -v valgrind >/dev/null && [ -f /usr/include/valgrind/callgrind.h ]; then
    echo "== instructions per call (callgrind, $calls calls each)"
    (cd "$asn1c_scratch" && cc -O2 -w -I gen -I "$here/anchor-asn1c" -o icount "$here/anchor-asn1c/icount.c" \
        libasn1c-lgcp.a -lm -Wl,--wrap=malloc,--wrap=calloc,--wrap=realloc,--wrap=free)
    mkdir "$out/cg"
    valgrind --tool=callgrind --callgrind-out-file="$out/cg/asn1c.%p" "$asn1c_scratch/icount" "$mix" "$calls" \
        >/dev/null 2>&1
    GW_SOURCE_DIR=$root valgrind --tool=callgrind --callgrind-out-file="$out/cg/ours.%p" "$bench" \
        --instructions "$calls" >/dev/null 2>&1
    for f in "$out"/cg/*.*.*; do
        label=$(sed -n 's/^desc: Trigger: Client Request: //p' "$f")
        echo "$label $(sed -n 's/^summary: //p' "$f")"
    done >"$out/instructions.txt"
fi

# Code and constant data: what asn1c's script printed, and ours: the PER
# runtime objects and the records of the seven modules LGCP.Message needs.
objs=$build/asn1/CMakeFiles/asn1_runtime.dir
mods=$build/asn1/modules/CMakeFiles/asn1_modules.dir/generated/asn1/modules
sections() {
    size -A "$@" | awk '
        $1 ~ /^\.text/ { c += $2 } $1 ~ /^\.rodata/ { r += $2 } $1 ~ /^\.data/ { d += $2 } $1 == ".bss" { b += $2 }
        END { printf "%d %d %d %d\n", c, r, d, b }'
}
runtime=$(sections "$objs"/{Types,PerCoder,BitCursor,Allocator,CoderEnv,Visitor}.cpp.o)
modules=$(sections $(for m in LGCP TERM ACP MON LEMZGW HSP BASE; do ls "$mods"/${m}_*.cpp.o; done))

python3 - "$out" "$mix" "$calls" "$runtime" "$modules" "$rounds" <<'PY'
import json, re, sys
out, mix, calls = sys.argv[1], sys.argv[2], int(sys.argv[3])
runtime, modules, rounds = sys.argv[4].split(), sys.argv[5].split(), int(sys.argv[6])
ids = re.findall(r'^id: (\S+)', open(mix).read(), re.M)

asn1c_text = open(f'{out}/asn1c.txt').read()
# Times: the best of the rounds; heap calls are the same in every round.
asn1c, ours = {}, {}
def keep(table, key, figures):
    row = table.setdefault(key, {})
    for name, value in figures.items():
        row[name] = min(row.get(name, value), value) if not name.endswith('_heap') else value

for r in range(1, rounds + 1):
    for line in open(f'{out}/asn1c.{r}.txt'):
        f = line.split()
        if len(f) >= 8 and f[0] in ids:
            keep(asn1c, f[0], {'enc': float(f[1]), 'dec': float(f[2]),
                               'dec_heap': float(f[6]), 'enc_heap': float(f[7])})
    for b in json.load(open(f'{out}/ours.{r}.json'))['benchmarks']:
        op, rule, mid = b['name'].split('/')[:3]
        ns = b['real_time'] * {'ns': 1, 'us': 1e3, 'ms': 1e6}[b['time_unit']]
        keep(ours, (rule, mid), {op: ns, op + '_heap': b.get('allocs', 0.0)})

instr = {}
for line in open(f'{out}/instructions.txt'):
    label, total = line.split()
    op, coder, mid = label.split('/')
    instr[(coder, mid, op)] = int(total) / calls

def mean(values):
    return sum(values) / len(values)

rows = ids + ['mean']
def figure(coder, mid, key):
    if coder == 'asn1c':
        get = lambda i: asn1c[i][key]
    else:
        get = lambda i: ours[(coder, i)][key]
    return mean([get(i) for i in ids]) if mid == 'mean' else get(mid)

print('\n' + '\n'.join(l for l in asn1c_text.splitlines() if l.startswith(('==', '  '))))
print(f'\nns per call, best of {rounds} rounds (decode: from a new value, released after); heap calls per call; '
      f'ratio = asn1c UPER / ours, encode + decode')
head = f"{'':12}" + ''.join(f'{h:>22}' for h in ('asn1c UPER enc/dec', 'ours UPER enc/dec', 'ours APER enc/dec')) \
    + f"{'heap enc/dec a|u|a':>22}{'ratio U':>9}{'ratio A':>9}"
print(head)
for mid in rows:
    cells, heaps, totals = [], [], {}
    for coder in ('asn1c', 'uper', 'aper'):
        enc, dec = figure(coder, mid, 'enc' if coder == 'asn1c' else 'encode'), \
            figure(coder, mid, 'dec' if coder == 'asn1c' else 'decode')
        heap_e = figure(coder, mid, 'enc_heap' if coder == 'asn1c' else 'encode_heap')
        heap_d = figure(coder, mid, 'dec_heap' if coder == 'asn1c' else 'decode_heap')
        cells.append(f'{enc:10.1f}/{dec:<10.1f}')
        heaps.append(f'{heap_e:.3g}/{heap_d:.3g}')
        totals[coder] = enc + dec
    print(f'{mid:12}' + ''.join(f'{c:>22}' for c in cells) + f"{'|'.join(heaps):>22}"
          f"{totals['asn1c'] / totals['uper']:9.2f}{totals['asn1c'] / totals['aper']:9.2f}")

if instr:
    print(f'\ninstructions per call (callgrind)')
    print(f"{'':12}" + ''.join(f'{h:>22}' for h in ('asn1c UPER enc/dec', 'ours UPER enc/dec', 'ours APER enc/dec'))
          + f"{'ratio U':>9}")
    for mid in rows:
        cells, totals = [], {}
        for coder in ('asn1c', 'uper', 'aper'):
            pick = (lambda op: mean([instr[(coder, i, op)] for i in ids])) if mid == 'mean' \
                else (lambda op: instr[(coder, mid, op)])
            enc, dec = pick('encode'), pick('decode')
            cells.append(f'{enc:10.0f}/{dec:<10.0f}')
            totals[coder] = enc + dec
        print(f'{mid:12}' + ''.join(f'{c:>22}' for c in cells) + f"{totals['asn1c'] / totals['uper']:9.2f}")

print('\ncode size, bytes                            .text   .rodata    .data*    .bss')
print('  ours: PER runtime and value model   %9s %9s %9s %7s' % tuple(runtime))
print('  ours: records of the seven modules  %9s %9s %9s %7s' % tuple(modules))
PY
