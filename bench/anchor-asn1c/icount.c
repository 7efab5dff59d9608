/*
 * Instruction counts of asn1c's UPER codec on the mix: run under callgrind,
 * it encodes each message, and decodes and releases it, CALLS times after one
 * warm-up call, with one stats dump per message and direction
 * ("encode/asn1c/ID", "decode/asn1c/ID"). The octets are asn1c's own UPER of
 * the ber line's value, which is what bench.c times.
 *
 *   valgrind --tool=callgrind icount MIX-FILE CALLS
 *
 * Built in run.sh's scratch directory (KEEP=1) against the same library, with
 * bench.c's helpers included and its main renamed.
 */
#define main bench_main
#include "bench.c"
#undef main

#include <valgrind/callgrind.h>

int main(int argc, char **argv)
{
	static struct message msgs[MAX_MSGS];
	static uint8_t wire[MAX_MSGS][MAX_OCTETS];
	if (argc != 3) {
		fprintf(stderr, "usage: icount MIX-FILE CALLS\n");
		return 2;
	}
	long calls = atol(argv[2]);
	int count = read_mix(argv[1], msgs);
	for (int i = 0; i < count; i++) {
		struct message *m = &msgs[i];
		char label[96];
		Message_t *v = decode_ber(&m->ber);
		if (!v)
			die("asn1c cannot decode the ber line", m->id);
		struct octets in = encode_uper(v, wire[i], sizeof wire[i]);
		if (in.len == (size_t)-1)
			die("asn1c cannot UPER-encode the value", m->id);

		run_encodes(v, 1);
		CALLGRIND_ZERO_STATS;
		run_encodes(v, calls);
		snprintf(label, sizeof label, "encode/asn1c/%s", m->id);
		CALLGRIND_DUMP_STATS_AT(label);

		run_decodes(&in, 1);
		CALLGRIND_ZERO_STATS;
		run_decodes(&in, calls);
		snprintf(label, sizeof label, "decode/asn1c/%s", m->id);
		CALLGRIND_DUMP_STATS_AT(label);
		ASN_STRUCT_FREE(asn_DEF_Message, v);
	}
	return 0;
}
