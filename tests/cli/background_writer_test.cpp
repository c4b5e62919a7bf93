#include "cli/background_writer.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <string>

#include "test_support.h"

// A reader that comes back after lines were refused learns how many, even when no line
// follows: the note comes once everything before it is written.
TEST(BackgroundWriterTest, RefusedTextIsCountedAndNotedOnceTheReaderCatchesUp) {
  int pipeFds[2];
  ASSERT_EQ(pipe(pipeFds), 0);
  fcntl(pipeFds[1], F_SETPIPE_SZ, 4096);
  auto stream = std::make_unique<platform::OutputStream>();
  ASSERT_TRUE(stream->OpenAppending("/proc/self/fd/" + std::to_string(pipeFds[1])));
  close(pipeFds[1]);
  {
    BackgroundWriter writer(std::move(stream), {}, [](size_t refused, const std::string& last) {
      return "refused " + std::to_string(refused) + ", the last " + last + "\n";
    });
    const std::string line(99, 'x');
    std::string accepted;
    size_t refused = 0;
    ASSERT_TRUE(WaitUntil([&] {
      if (writer.Push(line + "\n", 1000, "#" + std::to_string(refused + 1))) {
        accepted += line + "\n";
      } else {
        ++refused;
      }
      return refused == 3;
    }));
    std::string read;
    const std::string expected = accepted + "refused 3, the last #3\n";
    char chunk[4096];
    pollfd readable{pipeFds[0], POLLIN, 0};
    while (read.size() < expected.size() && poll(&readable, 1, 5000) == 1) {
      const ssize_t got = ::read(pipeFds[0], chunk, sizeof chunk);
      if (got <= 0) break;
      read.append(chunk, static_cast<size_t>(got));
    }
    EXPECT_EQ(read, expected);
  }
  close(pipeFds[0]);
}

// Text handed over after the stream failed is not queued, and Push says so.
TEST(BackgroundWriterTest, PushAfterAFailureSaysTheTextWasNotQueued) {
  auto stream = std::make_unique<platform::OutputStream>();
  ASSERT_TRUE(stream->OpenAppending("/dev/full"));
  BackgroundWriter writer(std::move(stream), {});
  ASSERT_TRUE(writer.Push("first\n", 1000));
  ASSERT_TRUE(WaitUntil([&] { return !writer.Push("later\n", 1000); }));
  EXPECT_TRUE(writer.Flush(std::chrono::milliseconds(1000)));
}
