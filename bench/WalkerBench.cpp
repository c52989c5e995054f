// The element-stream walker against memcpy: a request whose stream area is
// filled with elements is walked as a handler walks it (the standard value
// buffer, every value read as a number), against one memcpy of the same
// bytes. Small elements (a 4-byte number, 12 bytes with the header) show the
// walker's cost per element; 4 KB texts show its cost per byte.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchPairs.h"
#include "frame/MessageWalker.h"
#include "wire/WireCodec.h"

namespace {

// A request record with its stream area filled with elements of
// `valueLength` bytes.
struct FilledRequest {
  std::unique_ptr<MessageInfo> request = std::make_unique<MessageInfo>();
  size_t bytes = 0;       // bytes of the elements
  unsigned elements = 0;  // number of elements
};

FilledRequest fill(unsigned valueLength) {
  FilledRequest filled;
  std::string stream;
  const std::string value(valueLength, 'v');
  while (stream.size() + 8 + valueLength <= sizeof(MessageInfo::elementStream))
    tkwire::appendElement(stream, 3001 + filled.elements++ % 16, value);
  std::memcpy(filled.request->elementStream, stream.data(), stream.size());
  filled.request->elementCount = filled.elements;
  filled.bytes = stream.size();
  return filled;
}

void walkOurs(benchmark::State& state, unsigned valueLength) {
  FilledRequest filled = fill(valueLength);
  MessageValueBuffer value;
  for (auto _ : state) {
    MessageWalker walker;
    walker.setRequest(filled.request.get(), value);
    unsigned int type = 0, length = 0;
    uint64_t sum = 0;
    for (char* v = walker.getFirst(&type, &length); v != nullptr; v = walker.getNext(&type, &length))
      sum += type + MessageWalker::readU32(v, length);
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * filled.bytes));
}

void walkRaw(benchmark::State& state, unsigned valueLength) {
  FilledRequest filled = fill(valueLength);
  std::vector<char> copy(filled.bytes);
  for (auto _ : state) {
    std::memcpy(copy.data(), filled.request->elementStream, filled.bytes);
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * filled.bytes));
}

const bool kRegistered = [] {
  for (unsigned valueLength : {4u, 4096u}) {
    const std::string name = valueLength == 4 ? "walker_12B_elements" : "walker_4KB_elements";
    tkbench::registerPair(
        name, [=](benchmark::State& s) { walkOurs(s, valueLength); },
        [=](benchmark::State& s) { walkRaw(s, valueLength); },
        [](tkbench::Benchmark* b) { b->Unit(benchmark::kMicrosecond); });
  }
  return true;
}();

}  // namespace

BENCHMARK_MAIN();
