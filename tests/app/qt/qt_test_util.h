// Helpers for driving the real window in tests.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <string_view>

#include "app/qt/main_window.h"

namespace stdlookup::test {

inline QString q(std::string_view utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

template <typename T = QWidget>
T* widget(const MainWindow& window, std::string_view name) {
  return window.findChild<T*>(q(name));
}

inline void click(const MainWindow& window, std::string_view button) {
  auto* target = widget<QAbstractButton>(window, button);
  QTest::mouseClick(target, Qt::LeftButton);
}

// Calls `answer` on the GUI thread with the next modal dialog that appears.
inline void answer_next_modal(std::function<void(QWidget*)> answer) {
  auto* timer = new QTimer(qApp);
  QObject::connect(timer, &QTimer::timeout, [timer, answer = std::move(answer)] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      timer->stop();
      timer->deleteLater();
      answer(modal);
    }
  });
  timer->start(5);
}

// Processes events until `done` holds (at most 10 s); returns whether it did.
inline bool wait_for(const std::function<bool()>& done) {
  return QTest::qWaitFor(done, 10000);
}

}  // namespace stdlookup::test
