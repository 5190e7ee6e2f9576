#include "app/command_line.h"

#include <QCommandLineParser>

#include "common/ui_text.h"
#include "core/date.h"
#include "core/product.h"

namespace {

constexpr char kHelp[] =
    "使い方: tavo [--folder DIR] [--date YYYY-MM-DD]\n"
    "\n"
    "Tavo: 一日一件の日記帳。\n"
    "\n"
    "オプション:\n"
    "  --folder DIR        フォルダ DIR の日記を開きます（ほかのコンピュータから写した日記、\n"
    "                      USB メモリの日記など）。DIR は存在するフォルダです。日記のない\n"
    "                      フォルダでは、新しい日記を作る前に確かめます。\n"
    "  --date YYYY-MM-DD   その日を開きます。\n"
    "  -h, --help          この説明を表示します。\n"
    "  -v, --version       バージョンを表示します。\n"
    "\n"
    "--folder がなければ、実行ファイルのフォルダに日記（data フォルダか tavo.ini）があれば\n"
    "それを、なければ ~/.local/share/tavo の日記を開きます。\n";

// Options the application object reads itself; they are accepted here and left to it.
constexpr const char* kQtOptionsWithValue[] = {"platform",      "platformpluginpath",
                                               "platformtheme", "plugin",
                                               "style",         "stylesheet",
                                               "session",       "display",
                                               "geometry",      "qwindowgeometry",
                                               "qwindowtitle",  "qwindowicon",
                                               "name",          "title"};
constexpr const char* kQtFlags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

// An argument as the refusal quotes it: control characters are written out, so that the
// refusal stays on its one line and shows what was typed.
QString Visible(const QString& argument) {
    QString visible;
    for (const QChar ch : argument) {
        switch (ch.unicode()) {
            case '\n':
                visible += QStringLiteral("\\n");
                break;
            case '\r':
                visible += QStringLiteral("\\r");
                break;
            case '\t':
                visible += QStringLiteral("\\t");
                break;
            default:
                if (ch.category() == QChar::Other_Control || ch == QChar::LineSeparator ||
                    ch == QChar::ParagraphSeparator)
                    visible += ch.unicode() <= 0xff
                                   ? QStringLiteral("\\x%1").arg(uint(ch.unicode()), 2, 16,
                                                                 QLatin1Char('0'))
                                   : QStringLiteral("\\u%1").arg(uint(ch.unicode()), 4, 16,
                                                                 QLatin1Char('0'));
                else
                    visible += ch;
        }
    }
    return visible;
}

StartOptions Refuse(const QString& why) {
    StartOptions options;
    options.action = StartOptions::Action::Refuse;
    options.text = QStringLiteral("tavo: %1（tavo --help を参照）").arg(why);
    return options;
}

}  // namespace

StartOptions ParseStartOptions(const QStringList& arguments) {
    // A program may be started with no arguments at all, not even its own name; the parser
    // would complain about that on standard error in a language of its own.
    if (arguments.isEmpty())
        return Refuse(QStringLiteral("引数がありません（プログラム名もありません）"));
    QCommandLineParser parser;
    // "-style fusion" as Qt spells its own options.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")}, QString());
    const QCommandLineOption folder(QStringLiteral("folder"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption date(QStringLiteral("date"), QString(), QStringLiteral("YYYY-MM-DD"));
    parser.addOptions({help, version, folder, date});
    for (const char* name : kQtOptionsWithValue)
        parser.addOption(
            QCommandLineOption(QString::fromLatin1(name), QString(), QStringLiteral("value")));
    for (const char* name : kQtFlags)
        parser.addOption(QCommandLineOption(QString::fromLatin1(name), QString()));

    if (!parser.parse(arguments)) {
        if (!parser.unknownOptionNames().isEmpty())
            return Refuse(QStringLiteral("知らないオプションです: %1")
                              .arg(Visible(parser.unknownOptionNames().constFirst())));
        // Otherwise the last option lacks its value.
        return Refuse(QStringLiteral("値がありません: %1").arg(Visible(arguments.constLast())));
    }
    if (!parser.positionalArguments().isEmpty())
        return Refuse(QStringLiteral("余分な引数です: %1")
                          .arg(Visible(parser.positionalArguments().constFirst())));

    StartOptions options;
    if (parser.isSet(help)) {
        options.action = StartOptions::Action::ShowHelp;
        options.text = QString::fromUtf8(kHelp);
        return options;
    }
    if (parser.isSet(version)) {
        options.action = StartOptions::Action::ShowVersion;
        options.text = QStringLiteral("%1 %2\n").arg(QString::fromLatin1(tavo::kProductName),
                                                     QString::fromLatin1(tavo::kVersion));
        return options;
    }
    if (parser.isSet(folder)) {
        const QString dir = parser.value(folder);
        std::error_code ec;
        const std::filesystem::path path = std::filesystem::absolute(ToPath(dir), ec);
        if (dir.isEmpty() || ec || !std::filesystem::is_directory(path, ec))
            return Refuse(QStringLiteral("フォルダがありません: %1").arg(Visible(dir)));
        // The folder the system opens: "LINK/.." is the folder above the link's target,
        // which the text alone cannot tell.
        options.folder = std::filesystem::canonical(path, ec);
        if (ec)
            return Refuse(QStringLiteral("フォルダがありません: %1").arg(Visible(dir)));
    }
    if (parser.isSet(date)) {
        const QString text = parser.value(date);
        const auto parsed = tavo::ParseIsoDate(text.toStdString());
        if (!parsed || *parsed < tavo::kFirstPickableDate || *parsed > tavo::kLastPickableDate)
            return Refuse(QStringLiteral("日付は %1 から %2 までの YYYY-MM-DD です: %3")
                              .arg(ToQDate(tavo::kFirstPickableDate).toString(Qt::ISODate),
                                   ToQDate(tavo::kLastPickableDate).toString(Qt::ISODate),
                                   Visible(text)));
        options.date = ToQDate(*parsed);
    }
    return options;
}
