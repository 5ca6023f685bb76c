// process() allocates nothing: every allocation function of this executable is
// counted (outside sanitizer builds), the module's included, across thousands of blocks while
// states, previews, sample sizes and the host transport change between them.
#include <gtest/gtest.h>

#include <atomic>

#include "allocation_counter.h"
#include "generator/generate.h"
#include "processor_rig.h"
#include "theory/config.h"

namespace tavrena::testing {
namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;

TEST_F(ProcessorTest, ProcessNeitherAllocatesNorBlocks) {
  // Where a sanitizer owns the allocation functions nothing is counted, but the blocks
  // still run: under RealtimeSanitizer any allocation, lock or system call in them
  // aborts the test.
  const bool counted = allocationCountingAvailable();
  if (counted) {
    // The counter does see the module's allocations (a state message builds data).
    startCountingAllocations();
    ASSERT_EQ(loadJson(makeState(plainConfig(), Json::array({note(0, 1, 60, 100)}), false, true)),
              kResultOk);
    ASSERT_GT(stopCountingAllocations(), 0);
  }

  std::atomic<bool> cancel{false};
  const Json solo = generateSolo(defaultConfig(), cancel);
  const std::string states[] = {
      makeState(defaultConfig(), solo, false, true).dump(),
      makeState(defaultConfig(), solo, true, false).dump(),
      makeState(plainConfig(), Json::array({note(0, 2, 60, 100), note(1, 2, 60, 90)}), true, true)
          .dump(),
  };

  std::int64_t allocations = 0;
  std::int64_t events = 0;
  std::int64_t blocks = 0;
  for (const int32 sampleSize : {kSample32, kSample64}) {
    ASSERT_EQ(activate(48000, 512, sampleSize), kResultOk);
    host::AudioBlock block(2, 512, sampleSize);
    double ppq = 0.0;
    for (int i = 0; i < 2500; ++i) {
      // Changes between blocks, on the "message thread".
      if (i % 97 == 0) {
        ASSERT_EQ(sendState(states[(i / 97) % 3]), kResultOk);
      }
      if (i % 41 == 0) preview(i % 82 == 0);
      if (i % 53 == 0) ppq = (i % 106 == 0) ? 35.0 : 4.0 * (i % 7);  // host jumps
      if (i % 150 == 0) message("TavrenaPoll");

      ProcessContext context = host::makeContext(48000, i % 300 < 200, ppq, 90.0 + i % 40);
      const int32 samples = i % 61 == 0 ? 0 : (i % 5 == 0 ? 17 : 512);
      ProcessData& data = block.prepare(samples, i % 23 == 0 ? nullptr : &context);
      startCountingAllocations();
      const tresult result = processor->process(data);
      allocations += stopCountingAllocations();
      ASSERT_EQ(result, kResultOk);
      events += block.events().getEventCount();
      ppq += samples * context.tempo / 60.0 / 48000.0;
      ++blocks;
    }
    ASSERT_EQ(deactivate(), kResultOk);
  }
  if (counted) {
    EXPECT_EQ(allocations, 0) << "over " << blocks << " blocks";
  }
  EXPECT_GT(events, 5000);  // the blocks did play
}

}  // namespace
}  // namespace tavrena::testing
