#include "app/qt/qt_presenter.h"

#include <gtest/gtest.h>

#include <QFileDialog>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QThread>
#include <atomic>
#include <future>
#include <vector>

#include "qt_test_util.h"
#include "runtime/window_services.h"
#include "support/gbk_literals.h"
#include "support/temp_dir.h"

namespace stdlookup {
namespace {

using test::answer_next_modal;
using test::q;

struct SeenBox {
  QString title;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
  Qt::WindowModality modality = Qt::NonModal;
  bool on_gui_thread = false;
};

// Answers the next box by pressing `press`, remembering what it showed.
void press_next(QMessageBox::StandardButton press, SeenBox& seen) {
  answer_next_modal([press, &seen](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    seen = {box->windowTitle(),    box->text(),
            box->icon(),           box->standardButtons(),
            box->windowModality(), QThread::currentThread() == qApp->thread()};
    ASSERT_NE(box->button(press), nullptr);
    box->button(press)->click();
  });
}

TEST(QtMessageBox, ButtonsIconsAndTheNumberOfThePressedButton) {
  using B = QMessageBox;
  struct Case {
    unsigned flags;
    QMessageBox::StandardButtons buttons;
    QMessageBox::Icon icon;
    QMessageBox::StandardButton press;
    int result;
  };
  const std::vector<Case> cases = {
      {kMbOk, B::Ok, B::NoIcon, B::Ok, 0},
      {kMbOkCancel | kMbIconQuestion, B::Ok | B::Cancel, B::Question, B::Cancel, 1},
      {kMbAbortRetryIgnore | kMbIconHand, B::Abort | B::Retry | B::Ignore, B::Critical, B::Abort,
       2},
      {kMbAbortRetryIgnore, B::Abort | B::Retry | B::Ignore, B::NoIcon, B::Retry, 3},
      {kMbAbortRetryIgnore, B::Abort | B::Retry | B::Ignore, B::NoIcon, B::Ignore, 4},
      {kMbYesNoCancel | kMbIconExclamation, B::Yes | B::No | B::Cancel, B::Warning, B::Yes, 5},
      {kMbYesNo | kMbIconInformation, B::Yes | B::No, B::Information, B::No, 6},
      {kMbRetryCancel, B::Retry | B::Cancel, B::NoIcon, B::Retry, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.flags);
    SeenBox seen;
    press_next(c.press, seen);
    EXPECT_EQ(message_box(test::g("该标准作废"), c.flags), c.result);
    EXPECT_EQ(seen.title, q("信息："));
    EXPECT_EQ(seen.text, q("该标准作废"));
    EXPECT_EQ(seen.buttons, c.buttons);
    EXPECT_EQ(seen.icon, c.icon);
    EXPECT_EQ(seen.modality, Qt::ApplicationModal);
  }
}

TEST(QtMessageBox, GivenTitleMultiLineTextAndNumbers) {
  SeenBox seen;
  press_next(QMessageBox::Ok, seen);
  EXPECT_EQ(message_box(test::g("导出成功!\r\n第二行"), kMbOk, test::g("导出")), 0);
  EXPECT_EQ(seen.title, q("导出"));
  EXPECT_EQ(seen.text, q("导出成功!\n第二行"));

  press_next(QMessageBox::Ok, seen);
  EXPECT_EQ(message_box(-42, kMbOk), 0);
  EXPECT_EQ(seen.text, q("-42"));
}

TEST(QtMessageBox, FromAnotherThreadIsShownOnTheGuiThreadAndAnswersThere) {
  SeenBox seen;
  press_next(QMessageBox::No, seen);
  auto result =
      std::async(std::launch::async, [] { return message_box(test::g("继续？"), kMbYesNo); });
  ASSERT_TRUE(test::wait_for(
      [&] { return result.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
  EXPECT_EQ(result.get(), 6);
  EXPECT_TRUE(seen.on_gui_thread);
  EXPECT_EQ(seen.text, q("继续？"));
}

TEST(QtPresenter, ProcessPendingMessagesDispatchesWhatIsWaiting) {
  int delivered = 0;
  QMetaObject::invokeMethod(
      qApp, [&delivered] { ++delivered; }, Qt::QueuedConnection);
  QMetaObject::invokeMethod(
      qApp, [&delivered] { ++delivered; }, Qt::QueuedConnection);
  EXPECT_EQ(delivered, 0);
  process_pending_messages();
  EXPECT_EQ(delivered, 2);
}

TEST(QtPresenter, ARequestInFlightDropsInputToTheWindowButNotToABoxItShows) {
  QWidget window;
  auto* button = new QPushButton(q("按钮"), &window);
  auto* edit = new QLineEdit(&window);
  edit->move(0, 40);
  int clicks = 0;
  QObject::connect(button, &QPushButton::clicked, [&clicks] { ++clicks; });
  window.show();
  // Chinese as an input method commits it, and a text dropped onto the box.
  QInputMethodEvent commit;
  commit.setCommitString(q("国标"));
  QMimeData dragged;
  dragged.setText(q("食品"));
  const auto type_and_drop = [&] {
    QApplication::sendEvent(edit, &commit);
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &dragged, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(edit, &enter);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &dragged, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(edit, &drop);
  };
  std::promise<void> typed;
  QTimer::singleShot(20, &window, [&] {
    QTest::mouseClick(button, Qt::LeftButton);
    QTest::keyClicks(edit, q("GB"));
    type_and_drop();
    typed.set_value();
  });
  answer_next_modal([](QWidget* modal) {
    QTest::mouseClick(qobject_cast<QMessageBox*>(modal)->button(QMessageBox::Cancel),
                      Qt::LeftButton);
  });
  int pressed = 0;
  run_busy([&] {
    typed.get_future().wait();
    pressed = message_box("?", kMbOkCancel);
  });
  EXPECT_EQ(clicks, 0);
  EXPECT_TRUE(edit->text().isEmpty());
  EXPECT_EQ(pressed, 1);  // Cancel: the box took the click
  QTest::mouseClick(button, Qt::LeftButton);
  EXPECT_EQ(clicks, 1);
  type_and_drop();
  EXPECT_EQ(edit->text(), q("食品国标"));  // dropped at the start
}

TEST(QtPresenter, NameFiltersFromTheDialogFilter) {
  EXPECT_EQ(dialog_name_filters("*.xls|*.xls"), QStringList{q("*.xls (*.xls)")});
  EXPECT_EQ(dialog_name_filters(test::g("表格|*.xls;*.xlsx|全部|*.*")),
            (QStringList{q("表格 (*.xls *.xlsx)"), q("全部 (*.*)")}));
  EXPECT_TRUE(dialog_name_filters("").isEmpty());
  EXPECT_TRUE(dialog_name_filters("odd").isEmpty());
}

TEST(QtMessageBox, IsWideEnoughForItsTitle) {
  const Text title = test::g("信息：一个相当长的标题，比消息本身长得多");
  int width = 0, title_width = 0;
  answer_next_modal([&](QWidget* modal) {
    width = modal->width();
    title_width =
        modal->fontMetrics().horizontalAdvance(q("信息：一个相当长的标题，比消息本身长得多"));
    modal->close();
  });
  message_box("OK", kMbOk, title);
  EXPECT_GT(width, title_width);
}

TEST(QtCommonDialog, SaveDialogHonoursItsPropertiesAndReturnsTheConfirmedPath) {
  test::TempDir dir;
  CommonDialog dialog;
  dialog.type = 1;
  dialog.filter = "*.xls|*.xls";
  dialog.flags = kOfnOverwritePrompt;  // asked by the runtime after the name is final
  dialog.initial_directory = dir.str();
  const QString chosen = q(dir.str()) + q("/标准.xls");
  QFileDialog::AcceptMode mode = QFileDialog::AcceptOpen;
  QStringList filters;
  bool confirms_overwrite = false;
  answer_next_modal([&](QWidget* modal) {
    auto* box = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(box, nullptr);
    mode = box->acceptMode();
    filters = box->nameFilters();
    confirms_overwrite = !box->testOption(QFileDialog::DontConfirmOverwrite);
    box->selectFile(chosen);
    static_cast<QDialog*>(box)->accept();
  });
  ASSERT_TRUE(show_common_dialog(dialog));
  EXPECT_EQ(mode, QFileDialog::AcceptSave);
  EXPECT_EQ(filters, QStringList{q("*.xls (*.xls)")});
  EXPECT_FALSE(confirms_overwrite);
  EXPECT_EQ(dialog.file_name, chosen.toStdString());  // a native (UTF-8) path, not GBK
}

TEST(QtCommonDialog, CancelledDialogReturnsFalseAndKeepsTheName) {
  CommonDialog dialog;
  dialog.file_name = "before.xls";
  answer_next_modal([](QWidget* modal) {
    auto* box = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->acceptMode(), QFileDialog::AcceptOpen);
    box->reject();
  });
  EXPECT_FALSE(show_common_dialog(dialog));
  EXPECT_EQ(dialog.file_name, "before.xls");
}

}  // namespace
}  // namespace stdlookup
