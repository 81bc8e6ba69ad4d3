// libFuzzer target for the container reader. Built only with VORN_FUZZ=ON and
// clang; run by hand, never in CI:
//   build/fuzz/engine/vrn/vorn_vrn_fuzz -max_len=8192 engine/vrn/fuzz/corpus
//
// An input is the first 128 bytes of a file header followed by what lies at
// offset 4096 onwards (table slot A, then slot B when the input is long), so
// the fuzzer spends its time on the header and the tables rather than on the
// empty bytes between them. The file is taken to be 1 TiB long, so that only
// the header's own numbers decide whether it is truncated.
#include "VrnDisc.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    constexpr std::size_t kHeader = 128, kTables = 4096;
    static std::vector<std::uint8_t> head;
    const std::size_t rest = size > kHeader ? size - kHeader : 0;
    head.assign(kTables + std::max<std::size_t>(rest, 2 * 131072), 0);
    std::memcpy(head.data(), data, std::min(size, kHeader));
    if (rest) std::memcpy(head.data() + kTables, data + kHeader, rest);
    (void)vorn::vrn::VrnDisc::validate(head, std::uint64_t(1) << 40);
    // The same head as a short file: the truncation checks.
    (void)vorn::vrn::VrnDisc::validate(std::span(head).first(std::min(size, head.size())), size);
    return 0;
}
