// lumvex-station: the desktop station with its Qt window. Run it in the folder
// that holds the configuration files. Exits 0 after an orderly close, 1 when
// the start-up failed (the configuration could not be read).
#include "core/station.h"
#include "ui/callbacks.h"
#include "ui/layout.h"
#include "ui/main_window.h"
#include "ui/qt/qt_operator.h"
#include "ui/qt/station_window.h"

#include <QApplication>
#include <QTimer>

#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  app.setQuitOnLastWindowClosed(false);  // the window's close decides, after the exit steps
  lumvex::qt::QtOperator op;
  lumvex::Station st(op);
  lumvex::LoadMainLayout(st.model);
  lumvex::BindCallbacks(st);
  lumvex::qt::StationWindow window(st.model);
  op.setParent(&window);
  window.show();
  if (lumvex::StartStation(st) != 0) return 1;

  QObject::connect(&window, &lumvex::qt::StationWindow::closed, &app, [&] {
    if (!st.quitRequested) lumvex::ExitStation(st);
    app.quit();
  });
  // The exit steps may also be asked for from inside a callback.
  QTimer quitWatch;
  QObject::connect(&quitWatch, &QTimer::timeout, &app, [&] {
    if (st.quitRequested) app.quit();
  });
  quitWatch.start(200);
  // LUMVEX_CONNECT=1 (set by scripts/run beside the simulated unit) presses
  // CONNECT once the window is up, with the address the list left current.
  const char* autoConnect = std::getenv("LUMVEX_CONNECT");
  if (autoConnect && std::strcmp(autoConnect, "1") == 0)
    QTimer::singleShot(0, &app, [&] { st.model.commit(lumvex::Ctl::CONNECT); });
  return app.exec();
}
