#include "window_rig.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>

#include "platform/devices/serial_device.h"

PtyLine::PtyLine(PtyPair& pty)
    : pty_(pty), markFd_(open(pty.SlavePath().c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC)) {
  reader_ = std::thread([this] { Drain(); });
}

PtyLine::~PtyLine() {
  stop_ = true;
  reader_.join();
  if (markFd_ >= 0) close(markFd_);
}

void PtyLine::Reply(const std::string& bytes) {
  ASSERT_EQ(write(pty_.MasterFd(), bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

size_t PtyLine::WaitForCount(size_t n) {
  std::unique_lock lock(mutex_);
  arrived_.wait_for(lock, std::chrono::seconds(20), [&] { return bytes_.size() >= n; });
  return bytes_.size();
}

Bytes PtyLine::Sent() {
  Mark(kEndMark);
  std::unique_lock lock(mutex_);
  const bool marked = arrived_.wait_for(lock, std::chrono::seconds(10), [this] {
    return std::find(bytes_.begin(), bytes_.end(), kEndMark) != bytes_.end();
  });
  EXPECT_TRUE(marked) << "the end mark did not come back";
  const auto end = std::find(bytes_.begin(), bytes_.end(), kEndMark);
  Bytes out(bytes_.begin(), end);
  bytes_.erase(bytes_.begin(), end == bytes_.end() ? end : end + 1);
  return out;
}

void PtyLine::Drain() {
  while (!stop_) {
    pollfd p{pty_.MasterFd(), POLLIN, 0};
    if (poll(&p, 1, 20) <= 0) continue;
    uint8_t buf[4096];
    const ssize_t n = read(pty_.MasterFd(), buf, sizeof buf);
    if (n <= 0) continue;
    {
      std::lock_guard lock(mutex_);
      bytes_.insert(bytes_.end(), buf, buf + n);
    }
    arrived_.notify_all();
  }
}

Flood::Flood(std::vector<PtyPair*> ptys, uint8_t fill, std::chrono::milliseconds limit)
    : thread_([this, ptys, fill, limit] {
        const auto end = std::chrono::steady_clock::now() + limit;
        const Bytes chunk(64, fill);
        while (!stop_ && std::chrono::steady_clock::now() < end) {
          for (PtyPair* p : ptys) {
            const ssize_t n = write(p->MasterFd(), chunk.data(), chunk.size());
            if (n > 0) {
              written_ += static_cast<size_t>(n);
            } else {
              std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
          }
        }
        stop_ = true;
      }) {}

WindowRig::WindowRig() {
  for (int n = 1; n <= 4; ++n) pty[n] = std::make_unique<PtyPair>();
}

void WindowRig::WriteIni(const std::string& iniHead, const std::string& extraPorts) {
  std::string ini = iniHead + "\n[Ports]\n" + extraPorts;
  for (int n = 1; n <= 4; ++n) {
    ini += "Com" + std::to_string(n) + "=" + pty[n]->SlavePath() + "\n";
  }
  dir.WriteFile("WireLab.ini", ini);
}

void WindowRig::MakeWindow() {
  form.reset();
  form = std::make_unique<TForm5>(
      Clock(), boxes, files ? *files : platform::FilesBeside(folder.empty() ? dir.Path() : folder));
}

void WindowRig::Open(int n, const std::string& settings) {
  form->Edit[n]->setText(QString::fromUtf8(settings.c_str()));
  Click(n);
}

void WindowRig::Choose(int n) {
  form->ComboBox1->setCurrentIndex(form->ComboBox1->findText(QStringLiteral("Com%1").arg(n)));
}

void WindowRig::ShowTab(QWidget* sheet) {
  form->PageControl1->setCurrentWidget(sheet);
  ASSERT_EQ(form->ActivePage(), sheet);
}

Lines WindowRig::SelectorItems() const {
  Lines items;
  for (int i = 0; i < form->ComboBox1->count(); ++i) {
    items.push_back(form->ComboBox1->itemText(i).toStdString());
  }
  return items;
}

std::string WindowRig::Selected() const {
  return form->ComboBox1->currentIndex() < 0 ? "" : form->ComboBox1->currentText().toStdString();
}

void WindowRig::ExpectPane(int n, const Lines& lines) {
  WaitUntil([&] { return form->Memo[n]->Lines() == lines; });
  EXPECT_EQ(form->Memo[n]->Lines(), lines);
}

std::string WindowRig::WaitForLastLine(int n, const std::string& expected) {
  if (!WaitUntil([&] { return form->Memo[n]->LastLine() == expected; })) {
    ADD_FAILURE() << PortState(n);
  }
  return form->Memo[n]->LastLine();
}

bool WindowRig::WaitForInLastLine(int n, const std::string& part) {
  return WaitUntil([&] { return form->Memo[n]->LastLine().find(part) != std::string::npos; });
}

int WindowRig::PaneChars(int n) {
  form->Memo[n]->Flush();
  return form->Memo[n]->CharacterCount();
}

std::string WindowRig::PortState(int n) const {
  TRealCom* port = Port(n);
  if (port == nullptr) return "port " + std::to_string(n) + " closed";
  const platform::PortHandle h = port->PortHandle();
  return "port " + std::to_string(n) + (h.IsOpen() ? " open" : " not had") +
         (port->Finished() ? ", thread finished" : "") + ", " +
         std::to_string(platform::BytesWaiting(h)) + " bytes waiting, pane has " +
         std::to_string(form->Memo[n]->Lines().size()) + " lines";
}

void PosWindowTest::SetUp() {
  clock.emplace();
  Create();
  ShowTab(form->TabSheetPos);
  Click(1);
  ASSERT_NE(Port(1), nullptr);
}

void PosWindowTest::TearDown() {
  form.reset();
  EXPECT_TRUE(boxes.Messages.empty());
}
