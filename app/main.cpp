// tmv: the desktop program.
#include <QApplication>
#include <QCommandLineParser>

#include "MainWindow.h"
#include "platform/Clock.h"
#include "platform/SerialPort.h"

namespace {

struct Options {
  QCommandLineOption port{QStringList{QStringLiteral("port")},
                          QStringLiteral("Use the serial device PATH for the logger port instead of COMn "
                                         "(for example /dev/ttyUSB0 or a pseudo-terminal)."),
                          QStringLiteral("PATH")};
  QCommandLineOption connect{QStringList{QStringLiteral("connect")},
                             QStringLiteral("Connect to the logger as soon as the window shows.")};
};

void Configure(QCommandLineParser& parser, Options& options) {
  parser.setApplicationDescription(QStringLiteral("TMV Data Loggers: connect to a logger, set it up, retrieve and view its data."));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addOption(options.port);
  parser.addOption(options.connect);
  parser.addPositionalArgument(QStringLiteral("file"),
                               QStringLiteral("A data file to open (.dat or .hex) or a configuration script (.rcfg)."),
                               QStringLiteral("[file]"));
}

void Name(QCoreApplication&) {
  QCoreApplication::setOrganizationName(QStringLiteral("TMV"));
  QCoreApplication::setApplicationName(QStringLiteral("tmv"));
  QCoreApplication::setApplicationVersion(QStringLiteral(TMV_VERSION_TEXT));
}

// --help and --version must answer without a display.
bool AsksForHelpOrVersion(int argc, char* argv[]) {
  for (int i = 1; i < argc; ++i) {
    const QString arg = QString::fromLocal8Bit(argv[i]);
    if (arg == QLatin1String("--help") || arg == QLatin1String("-h") || arg == QLatin1String("-?") ||
        arg == QLatin1String("--help-all") || arg == QLatin1String("--version") || arg == QLatin1String("-v"))
      return true;
  }
  return false;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (AsksForHelpOrVersion(argc, argv)) {
    QCoreApplication core(argc, argv);
    Name(core);
    QCommandLineParser parser;
    Options options;
    Configure(parser, options);
    parser.process(core);  // prints and exits
    return 0;
  }

  QApplication app(argc, argv);
  Name(app);
  QCommandLineParser parser;
  Options cli;
  Configure(parser, cli);
  parser.process(app);

  tmv::StartupOptions options;
  options.loggerDevice = parser.value(cli.port).toStdString();
  const QStringList files = parser.positionalArguments();
  if (!files.isEmpty()) options.commandLineFile = files.join(QLatin1Char(' ')).toStdString();

  tmv::PosixSerialSystem serial;
  tmv::SystemClock clock;
  tmv::qt::MainWindow window(serial, clock, options);
  if (!window.Start()) return 0;
  window.show();
  window.AfterShow();
  if (parser.isSet(cli.connect)) window.ConnectSoon();
  return app.exec();
}
