// Posted window messages: handled on the dialog's thread in posting order, dropped once the
// dialog has gone, and dispatched through the message map.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "platform/registered_message.h"
#include "tests/ui/test_template.h"
#include "ui/framework/dialog.h"

namespace quirelle::framework {
namespace {

using testing::kTestTemplate;

const std::uint32_t kFirst = platform::RegisterWindowMessage("framework_test_first");
const std::uint32_t kSecond = platform::RegisterWindowMessage("framework_test_second");

struct Received {
  std::uint32_t message;
  std::uintptr_t wParam;
  std::intptr_t lParam;
  std::thread::id thread;
};

class MessageDialog : public CDialog {
 public:
  MessageDialog() : CDialog(kTestTemplate) {
    MapMessage(kFirst, &MessageDialog::OnFirst);
    MapMessage(kSecond, [this](std::uintptr_t w, std::intptr_t l) {
      received.push_back({kSecond, w, l, std::this_thread::get_id()});
      return std::intptr_t{0};
    });
  }
  std::vector<Received> received;

 private:
  std::intptr_t OnFirst(std::uintptr_t w, std::intptr_t l) {
    received.push_back({kFirst, w, l, std::this_thread::get_id()});
    return 0;
  }
};

bool WaitFor(const std::function<bool()>& done) {
  return QTest::qWaitFor(done, 20000);
}

TEST(PostedMessages, FromAnotherThreadArriveInPostingOrderOnTheDialogThread) {
  MessageDialog dialog;
  ASSERT_TRUE(dialog.Create());
  platform::Window& window = dialog.MessageWindow();
  ASSERT_TRUE(window.Alive());
  constexpr int kCount = 2000;
  std::thread poster([&window] {
    for (int i = 0; i < kCount; ++i) {
      window.Post(i % 3 == 0 ? kSecond : kFirst, static_cast<std::uintptr_t>(i), -i);
    }
  });
  EXPECT_TRUE(dialog.received.empty()) << "handlers run only when the dialog's thread is free";
  ASSERT_TRUE(WaitFor([&] { return dialog.received.size() == kCount; }));
  poster.join();
  for (int i = 0; i < kCount; ++i) {
    const Received& r = dialog.received[static_cast<std::size_t>(i)];
    ASSERT_EQ(r.wParam, static_cast<std::uintptr_t>(i));
    EXPECT_EQ(r.message, i % 3 == 0 ? kSecond : kFirst);
    EXPECT_EQ(r.lParam, -i);
    EXPECT_EQ(r.thread, std::this_thread::get_id());
  }
}

TEST(PostedMessages, PostedFromTheDialogThreadRunLaterNotInside) {
  MessageDialog dialog;
  ASSERT_TRUE(dialog.Create());
  ASSERT_TRUE(dialog.PostMessage(kFirst, 7, 8));
  EXPECT_TRUE(dialog.received.empty());
  ASSERT_TRUE(WaitFor([&] { return dialog.received.size() == 1; }));
  EXPECT_EQ(dialog.received[0].wParam, 7u);
}

TEST(PostedMessages, UnmappedMessagesAreIgnored) {
  MessageDialog dialog;
  ASSERT_TRUE(dialog.Create());
  dialog.MessageWindow().Post(platform::RegisterWindowMessage("framework_test_unmapped"), 1, 1);
  dialog.MessageWindow().Post(kFirst, 2, 2);
  ASSERT_TRUE(WaitFor([&] { return dialog.received.size() == 1; }));
  EXPECT_EQ(dialog.received[0].wParam, 2u);
}

TEST(PostedMessages, WindowIsNotAliveBeforeCreationAndAfterDestruction) {
  std::shared_ptr<platform::Window> window;
  {
    MessageDialog dialog;
    window = dialog.SharedMessageWindow();
    EXPECT_FALSE(window->Alive());
    ASSERT_TRUE(dialog.Create());
    EXPECT_TRUE(window->Alive());
    window->Post(kFirst, 1, 1);  // pending when the dialog goes
  }
  EXPECT_FALSE(window->Alive());
  window->Post(kFirst, 2, 2);  // dropped, no crash
  QCoreApplication::processEvents();
}

TEST(PostedMessages, ModalRunEndsTheWindowAndDropsPendingMessages) {
  MessageDialog dialog;
  QTimer::singleShot(0, &dialog, [&dialog] {
    dialog.MessageWindow().Post(kFirst, 1, 0);
    dialog.EndDialog(kIdOk);
  });
  EXPECT_EQ(dialog.DoModal(), kIdOk);
  EXPECT_FALSE(dialog.MessageWindow().Alive());
  EXPECT_FALSE(dialog.PostMessage(kFirst, 3, 0));
  QCoreApplication::processEvents();
  EXPECT_TRUE(dialog.received.empty());
}

TEST(PostedMessages, PostingWhileTheDialogIsDestroyedIsSafe) {
  auto dialog = std::make_unique<MessageDialog>();
  ASSERT_TRUE(dialog->Create());
  std::shared_ptr<platform::Window> window = dialog->SharedMessageWindow();
  std::atomic<bool> stop{false};
  std::atomic<int> posted{0};
  std::thread poster([&] {
    while (!stop.load()) {
      window->Post(kFirst, 0, 0);
      posted.fetch_add(1);
    }
  });
  while (posted.load() < 1000) {
    std::this_thread::yield();
  }
  dialog.reset();
  const int atDestruction = posted.load();
  while (posted.load() < atDestruction + 1000) {
    std::this_thread::yield();
  }
  stop.store(true);
  poster.join();
  EXPECT_FALSE(window->Alive());
  QCoreApplication::processEvents();
}

}  // namespace
}  // namespace quirelle::framework
