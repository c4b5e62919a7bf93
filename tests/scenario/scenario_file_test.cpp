// Scenario files: every step read into what it means, and a bad line refused with its number
// and reason; the JUnit report's form and counts.
#include "scenario/scenario_file.h"

#include <gtest/gtest.h>

#include <QXmlStreamReader>
#include <string>
#include <vector>

#include "cli/cli_scenario.h"
#include "platform/text/cp1254.h"
#include "scenario/scenario_runner.h"

namespace {

// One step as text: kind port text/ms/command/action/times, enough to tell steps apart.
std::string Describe(const ScenarioStep& step) {
  static const char* kinds[] = {"port", "send", "send-codes", "expect", "ack",
                                "nack", "wait", "terminal",   "fault",  "expect-sale"};
  static const char* actions[] = {"nack", "silent", "drop", "delay", "bad-check", "hangup"};
  std::string text = std::to_string(step.line) + " " + kinds[static_cast<int>(step.kind)] + " p" +
                     std::to_string(step.port);
  if (!step.text.empty()) {
    text += " [";
    text += platform::Cp1254ToUtf8(step.text);
    text += "]";
  }
  if (step.ms != 0) text += " " + std::to_string(step.ms) + "ms";
  if (step.kind == StepKind::Fault) {
    text += " " + step.command + " " + actions[static_cast<int>(step.action)] + " x" +
            std::to_string(step.times);
  }
  return text;
}

TEST(ScenarioFileTest, ReadsEveryStepAndRefusesABadLineWithItsNumber) {
  const struct {
    std::string file;
    std::vector<std::string> steps;  // when it parses
    int line = 0;                    // when it does not
    std::string reason = {};
  } rows[] = {
      {"# a comment\n\n  send 001STTX7|1001\r\nexpect 001001ACK\n",
       {"3 send p1 [001STTX7|1001]", "4 expect p1 [001001ACK] 2000ms"}},
      {"port 2\nsend  İş # not a comment\nexpect 0?1ACK within 350\nack\nnack # now one\n",
       {"1 port p2", "2 send p2 [ İş # not a comment]", "3 expect p2 [0?1ACK] 350ms", "4 ack p2",
        "5 nack p2"}},
      {"send-codes 033006005032\nwait 0\nwait 1500\nexpect within 5 days\n",
       {"1 send-codes p1 [!\x06\x05 ]", "2 wait p1", "3 wait p1 1500ms",
        "4 expect p1 [within 5 days] 2000ms"}},
      {"port 3\nterminal\nfault * delay 250 times 2\nfault +ACK drop\nfault ITEM bad-check\n"
       "expect-sale\nexpect-sale within 9000\n",
       {"1 port p3", "2 terminal p3", "3 fault p3 250ms * delay x2", "4 fault p3 +ACK drop x-1",
        "5 fault p3 ITEM bad-check x-1", "6 expect-sale p3 60000ms", "7 expect-sale p3 9000ms"}},
      {"terminal\nfault STTX hangup 700 times 1\nfault NACK silent\nfault PRON nack\n",
       {"1 terminal p1", "2 fault p1 700ms STTX hangup x1", "3 fault p1 NACK silent x-1",
        "4 fault p1 PRON nack x-1"}},
      {"", {}, 0, "no steps"},
      {"# only\n\n", {}, 0, "no steps"},
      {"send x\nSend y\n", {}, 2, "unknown step 'Send'"},
      {"port 5\n", {}, 1, "the port 5 is not 1 to 4"},
      {"port\n", {}, 1, "port takes one number"},
      {"port  2\n", {}, 1, "one blank between words"},
      {"send\n", {}, 1, "send needs a text"},
      {"send 001ITEM€\n", {}, 0, ""},  // the euro sign is in the code page
      {"send 001ITEM✓\n", {}, 1, "outside code page 1254"},
      {"send-codes 0650\n", {}, 1, "not groups of three digits"},
      {"send-codes 256\n", {}, 1, "code 256 is above 255"},
      {"expect 001ACK within 0\n", {}, 1, "is not 1 to 86400000"},
      {"ack 001\n", {}, 1, "ack takes nothing after it"},
      {"wait\n", {}, 1, "wait takes one time"},
      {"wait 1s\n", {}, 1, "'1s' is not a number"},
      {"terminal now\n", {}, 1, "terminal takes nothing"},
      {"fault ITEM nack\n", {}, 1, "fault needs 'terminal' on port 1 before it"},
      {"terminal\nport 2\nexpect-sale\n", {}, 3, "expect-sale needs 'terminal' on port 2"},
      {"terminal\nfault ACK nack\n", {}, 2, "'ACK' is not a command"},
      {"terminal\nfault ITEM\n", {}, 2, "fault needs a command and an action"},
      {"terminal\nfault ITEM explode\n", {}, 2, "'explode' is not an action"},
      {"terminal\nfault ITEM delay\n", {}, 2, "delay needs its time"},
      {"terminal\nfault ITEM drop times 0\n", {}, 2, "the count after 'times' 0 is not 1"},
      {"terminal\nfault ITEM drop twice\n", {}, 2, "only 'times N' may follow"},
      {"terminal\nexpect-sale soon\n", {}, 2, "expect-sale takes only 'within MS'"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.file);
    const ScenarioParse parse = ParseScenario(row.file);
    if (row.steps.empty() && !row.reason.empty()) {
      ASSERT_FALSE(parse.scenario);
      EXPECT_EQ(parse.line, row.line);
      EXPECT_NE(parse.reason.find(row.reason), std::string::npos) << parse.reason;
      continue;
    }
    ASSERT_TRUE(parse.scenario) << parse.line << ": " << parse.reason;
    if (row.steps.empty()) continue;
    std::vector<std::string> steps;
    for (const ScenarioStep& step : parse.scenario->steps) steps.push_back(Describe(step));
    EXPECT_EQ(steps, row.steps);
  }
}

TEST(ScenarioFileTest, APacketMatchesItsPatternOnlyWithItsRightCheckLetter) {
  const struct {
    std::string pattern, packet;
    bool matches;
  } rows[] = {
      {"001001ACK", "001001ACKD", true},      {"001001ACK", "001001ACKE", false},
      {"???PROM500|", "001PROM500|C", false}, {"001001ACK", "001001NACKD", false},
      {"0?1001ACK", "001001ACKD", true},      {"001001ACK", "", false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.pattern + " / " + row.packet);
    const bool right = PacketMatches(row.pattern, row.packet);
    EXPECT_EQ(right, row.matches);
  }
  // The amount prompt with its own letter matches a pattern that leaves its number open.
  std::string prom = "007PROM500|";
  const int32_t sum = [&] {
    int s = 0;
    for (const char ch : prom) s += static_cast<uint8_t>(ch);
    return s % 26 + 'A';
  }();
  EXPECT_TRUE(PacketMatches("???PROM500|", prom + static_cast<char>(sum)));
}

TEST(ScenarioFileTest, TheJunitReportIsWellFormedAndCountsItsCases) {
  using Result = CliScenarioVerdict::Result;
  const std::vector<CliScenarioVerdict> verdicts = {
      {"sale.scn", Result::Passed, 1.5},
      {"a<b>&\"c\".scn", Result::Failed, 2.25, "line 9: expect 001002ACK", "a different packet"},
      {"bad.scn", Result::Refused, 0, "line 3: unknown step 'x'"},
      {"later.scn", Result::NotRun},
  };
  QXmlStreamReader xml(QString::fromStdString(JunitReport(verdicts)));
  int cases = 0, failures = 0, errors = 0, skipped = 0;
  QString failure, suiteCounts;
  while (!xml.atEnd()) {
    if (xml.readNext() != QXmlStreamReader::StartElement) continue;
    const auto attr = [&](const char* name) { return xml.attributes().value(name).toString(); };
    if (xml.name() == u"testsuite") {
      suiteCounts = attr("tests") + " " + attr("failures") + " " + attr("errors") + " " +
                    attr("skipped") + " " + attr("time");
    } else if (xml.name() == u"testcase") {
      ++cases;
    } else if (xml.name() == u"failure") {
      ++failures;
      failure = attr("message");
      failure += " | " + xml.readElementText();
    } else if (xml.name() == u"error") {
      ++errors;
    } else if (xml.name() == u"skipped") {
      ++skipped;
    }
  }
  ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
  EXPECT_EQ(suiteCounts.toStdString(), "4 1 1 1 3.750");
  EXPECT_EQ(cases, 4);
  EXPECT_EQ(failures, 1);
  EXPECT_EQ(errors, 1);
  EXPECT_EQ(skipped, 1);
  EXPECT_EQ(failure.toStdString(), "line 9: expect 001002ACK | a different packet");
}

}  // namespace
