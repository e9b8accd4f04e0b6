// tmv: the desktop program.
#include <QApplication>
#include <QCommandLineParser>

#include "MainWindow.h"
#include "platform/Clock.h"
#include "platform/SerialPort.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("tmv"));
  QApplication::setApplicationVersion(QStringLiteral(TMV_VERSION_TEXT));

  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("TMV Data Loggers: connect to a logger, set it up, retrieve and view its data."));
  parser.addHelpOption();
  parser.addVersionOption();
  QCommandLineOption portOption(QStringList{QStringLiteral("port")},
                                QStringLiteral("Use the serial device PATH for the logger port instead of COMn "
                                               "(for example /dev/ttyUSB0 or a pseudo-terminal)."),
                                QStringLiteral("PATH"));
  QCommandLineOption connectOption(QStringList{QStringLiteral("connect")},
                                   QStringLiteral("Connect to the logger as soon as the window shows."));
  parser.addOption(portOption);
  parser.addOption(connectOption);
  parser.addPositionalArgument(QStringLiteral("file"),
                               QStringLiteral("A data file to open (.dat or .hex) or a configuration script (.rcfg)."),
                               QStringLiteral("[file]"));
  parser.process(app);

  tmv::StartupOptions options;
  options.loggerDevice = parser.value(portOption).toStdString();
  const QStringList files = parser.positionalArguments();
  if (!files.isEmpty()) options.commandLineFile = files.join(QLatin1Char(' ')).toStdString();

  tmv::PosixSerialSystem serial;
  tmv::SystemClock clock;
  tmv::qt::MainWindow window(serial, clock, options);
  if (!window.Start()) return 0;
  window.show();
  window.AfterShow();
  if (parser.isSet(connectOption)) window.ConnectSoon();
  return app.exec();
}
