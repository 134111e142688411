// The main window, built from the layout table: one widget per control, objectName = layout
// name, at the table's pixel position relative to its parent (Qt scales logical pixels by the
// screen's device pixel ratio). Button clicks go through the event table.
#pragma once

#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "app/events.h"

namespace stdlookup {

class QtControls;

class MainWindow : public QWidget {
 public:
  // The window's creation event (themed drawing) runs at the end of the constructor.
  explicit MainWindow(Actions actions);
  ~MainWindow() override;

  // The widget of a layout control, or nullptr (components have none).
  QWidget* control(std::string_view name) const;
  QtControls& controls() { return *controls_; }

  // Called once, after the window's first paint (start-up measurement).
  void on_first_paint(std::function<void()> callback) { first_paint_ = std::move(callback); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  // Closing during a request of the GUI thread ends the program at once; during another click's
  // action the window closes once that action has returned (close_requested).
  void closeEvent(QCloseEvent* event) override;

 private:
  void build();
  void click(std::string_view name);
  Actions actions_;
  std::map<std::string, QWidget*, std::less<>> widgets_;
  std::unique_ptr<QtControls> controls_;
  std::function<void()> first_paint_;
};

}  // namespace stdlookup
