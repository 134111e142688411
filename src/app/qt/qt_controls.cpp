#include "app/qt/qt_controls.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QThread>
#include <QTimer>
#include <algorithm>

#include "app/layout.h"
#include "app/qt/blocking_call.h"
#include "app/qt/main_window.h"
#include "app/qt/qt_text.h"

namespace stdlookup {
namespace {

// A cell whose text is cut off by its column shows the whole text as its tooltip.
QTableWidgetItem* list_item(const QString& text) {
  auto* item = new QTableWidgetItem(text);
  item->setToolTip(text);
  return item;
}

}  // namespace

QtControls::QtControls(MainWindow& window) : window_(window) {}

void QtControls::on_gui_thread(const std::function<void()>& work) {
  if (QThread::currentThread() == window_.thread()) {
    work();
    return;
  }
  call_blocking(&window_, [&] {
    hold_repaints();
    work();
  });
}

// Each row written from the batch thread would repaint every visible row of the list, and the
// batch thread's next call would wait behind that paint: what other threads write is painted
// once a frame. The paint comes at once when the frame ends; a posted one would lose to the next
// call, which holds painting again.
void QtControls::hold_repaints() {
  if (!window_.updatesEnabled()) return;  // already held until the frame's end
  window_.setUpdatesEnabled(false);
  QTimer::singleShot(frame_ms, &window_, [window = &window_] {
    window->setUpdatesEnabled(true);
    window->repaint();
  });
}

Text QtControls::edit_text(std::string_view name) {
  Text text;
  on_gui_thread([&] {
    QWidget* widget = window_.control(name);
    if (auto* line = qobject_cast<QLineEdit*>(widget)) {
      text = qstring_to_gbk(line->text());
    } else if (auto* edit = qobject_cast<QPlainTextEdit*>(widget)) {
      text = qstring_to_gbk(edit->toPlainText());
    }
  });
  return text;
}

void QtControls::set_edit_text(std::string_view name, std::string_view text) {
  on_gui_thread([&] {
    QWidget* widget = window_.control(name);
    if (auto* line = qobject_cast<QLineEdit*>(widget)) {
      line->setText(gbk_to_qstring(text));
      line->setCursorPosition(0);  // show the start of a long text, not its end
    } else if (auto* edit = qobject_cast<QPlainTextEdit*>(widget)) {
      edit->setPlainText(gbk_to_qstring(text));
    }
  });
}

Text QtControls::caption(std::string_view name) {
  Text text;
  on_gui_thread([&] {
    QWidget* widget = name == kMainWindow ? &window_ : window_.control(name);
    if (widget == &window_) {
      text = qstring_to_gbk(window_.windowTitle());
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
      text = qstring_to_gbk(label->text());
    } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
      text = qstring_to_gbk(button->text());
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
      text = qstring_to_gbk(group->title());
    }
  });
  return text;
}

void QtControls::set_caption(std::string_view name, std::string_view text) {
  on_gui_thread([&] {
    const QString caption = gbk_to_qstring(text);
    QWidget* widget = name == kMainWindow ? &window_ : window_.control(name);
    if (widget == &window_) {
      window_.setWindowTitle(caption);
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
      label->setText(caption);
    } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
      button->setText(caption);
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
      group->setTitle(caption);
    }
  });
}

bool QtControls::disabled(std::string_view name) {
  bool result = false;
  on_gui_thread([&] {
    if (QWidget* widget = window_.control(name)) result = !widget->isEnabled();
  });
  return result;
}

void QtControls::set_disabled(std::string_view name, bool disabled) {
  on_gui_thread([&] {
    if (QWidget* widget = window_.control(name)) widget->setEnabled(!disabled);
  });
}

void QtControls::set_progress_maximum(std::string_view name, int maximum) {
  on_gui_thread([&] {
    if (auto* bar = qobject_cast<QProgressBar*>(window_.control(name))) {
      ProgressModel& model = progress_[std::string(name)];
      model.set_maximum(maximum);
      bar->setRange(0, model.range());
      bar->setValue(model.position());
    }
  });
}

void QtControls::set_progress_position(std::string_view name, int position) {
  on_gui_thread([&] {
    if (auto* bar = qobject_cast<QProgressBar*>(window_.control(name))) {
      ProgressModel& model = progress_[std::string(name)];
      model.set_position(position);
      bar->setValue(model.position());
    }
  });
}

int QtControls::list_insert_row(std::string_view name, std::string_view caption) {
  int row = -1;
  on_gui_thread([&] {
    if (auto* list = qobject_cast<QTableWidget*>(window_.control(name))) {
      row = list->rowCount();
      list->insertRow(row);
      list->setItem(row, 0, list_item(gbk_to_qstring(caption)));
    }
  });
  return row;
}

void QtControls::list_set_cell(std::string_view name, int row, int column, std::string_view text) {
  on_gui_thread([&] {
    auto* list = qobject_cast<QTableWidget*>(window_.control(name));
    if (list == nullptr || row < 0 || row >= list->rowCount() || column < 0 ||
        column >= list->columnCount()) {
      return;
    }
    list->setItem(row, column, list_item(gbk_to_qstring(text)));
  });
}

Text QtControls::list_cell(std::string_view name, int row, int column) {
  Text text;
  on_gui_thread([&] {
    auto* list = qobject_cast<QTableWidget*>(window_.control(name));
    if (list == nullptr) return;
    if (QTableWidgetItem* item = list->item(row, column)) text = qstring_to_gbk(item->text());
  });
  return text;
}

int QtControls::list_row_count(std::string_view name) {
  int count = 0;
  on_gui_thread([&] {
    if (auto* list = qobject_cast<QTableWidget*>(window_.control(name))) count = list->rowCount();
  });
  return count;
}

CommonDialog& QtControls::common_dialog(std::string_view name) {
  return dialogs_[name];
}

}  // namespace stdlookup
