// The multipart part framing on arbitrary streams, fed whole and in chunks:
// the same parts, held within the limits, each a piece of the input. The
// first two bytes pick the announced boundary and the chunk size.
#include "fuzz/fuzzcheck.h"
#include "host/multipart/multipartparser.h"

using fuzz::Check;

using BrellinOwned::MultipartParser;
using BrellinOwned::MultipartPart;

namespace {

const char* const kBoundaries[] = {"boundary", "--boundary", "", "b", "--myboundary", "\"quoted\"", "ipcamera", "--"};

std::vector<std::string> Run(const std::string& boundary, const std::string& data, size_t chunk) {
    MultipartParser p(boundary);
    std::vector<std::string> bodies;
    for (size_t i = 0; i < data.size(); i += chunk) {
        p.Feed(data.data() + i, std::min(chunk, data.size() - i));
        Check(p.Held() <= MultipartParser::kMaxPartBytes + MultipartParser::kMaxHeaderBytes + chunk + data.size());
        MultipartPart part;
        while (p.PopPart(part)) {
            Check(part.body.size() <= MultipartParser::kMaxPartBytes);
            Check(part.headers.size() <= MultipartParser::kMaxHeaderBytes);
            bodies.push_back(part.body);
        }
    }
    return bodies;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const std::string boundary = kBoundaries[data[0] % (sizeof(kBoundaries) / sizeof(kBoundaries[0]))];
    const size_t chunk = 1 + data[1] % 64;
    const std::string stream(reinterpret_cast<const char*>(data + 2), size - 2);
    std::vector<std::string> whole = Run(boundary, stream, stream.size() + 1);
    std::vector<std::string> cut = Run(boundary, stream, chunk);
    Check(whole == cut);
    for (const std::string& b : whole) Check(b.empty() || stream.find(b) != std::string::npos);
    return 0;
}
