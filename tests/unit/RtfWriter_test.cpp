// The RTF that Send Text Message puts on the wire: bytes checked directly, then read by unrtf.
#include "transfer/TRtfWriter.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>

#include <gtest/gtest.h>

namespace {

using F = QTextFormat;

// A document in the editor's own font, 16 pixels (12 points at 96 dpi).
std::unique_ptr<QTextDocument> EditorDocument()
{
    auto document = std::make_unique<QTextDocument>();
    QFont font(QStringLiteral("Courier New"));
    font.setPixelSize(16);
    document->setDefaultFont(font);
    return document;
}

QTextCharFormat Fmt(int property, const QVariant& value)
{
    QTextCharFormat format;
    format.setProperty(property, value);
    return format;
}

// Pure 7-bit, every brace paired and the whole a single group.
void ExpectWellFormed(const QByteArray& rtf)
{
    int depth = 0;
    for (qsizetype i = 0; i < rtf.size(); ++i) {
        ASSERT_LT(uchar(rtf[i]), 0x80) << "at " << i;
        if (rtf[i] == '\\') {
            ++i;
        } else if (rtf[i] == '{') {
            ++depth;
        } else if (rtf[i] == '}' && --depth == 0) {
            EXPECT_EQ(i, rtf.size() - 1) << "the document closes early";
        }
        ASSERT_GE(depth, 0) << "at " << i;
    }
    EXPECT_EQ(depth, 0);
}

// The control words that open the group holding exactly text.
QByteArray GroupOf(const QByteArray& rtf, const QByteArray& text)
{
    const qsizetype end = rtf.indexOf(' ' + text + '}');
    const qsizetype start = end < 0 ? -1 : rtf.lastIndexOf('{', end);
    return start < 0 ? QByteArray("<none>") : rtf.mid(start, end - start);
}

TEST(RtfWriter, TablesRunFormattingAndEscapes)
{
    const auto empty = EditorDocument();
    const QByteArray blank = TRtfWriter::Write(*empty);
    ExpectWellFormed(blank);
    EXPECT_EQ(blank, "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fnil Courier New;}}"
                     "{\\colortbl;}\\viewkind4\\uc1\\f0\\fs24\r\n\\pard\\ql \r\n}");

    const struct
    {
        QByteArray text;
        QTextCharFormat format;
        QByteArray group;
    } runs[] = {
        {"plain", {}, "{\\f0\\fs24"},
        {"bold", Fmt(F::FontWeight, QFont::Bold), "{\\f0\\fs24\\b"},
        {"italic", Fmt(F::FontItalic, true), "{\\f0\\fs24\\i"},
        {"under", Fmt(F::TextUnderlineStyle, QTextCharFormat::SingleUnderline), "{\\f0\\fs24\\ul"},
        {"struck", Fmt(F::FontStrikeOut, true), "{\\f0\\fs24\\strike"},
        {"small", Fmt(F::FontPointSize, 10.5), "{\\f0\\fs21"},
        {"big", Fmt(F::FontPixelSize, 32), "{\\f0\\fs48"},
        {"blue", Fmt(F::ForegroundBrush, QBrush(QColor(0, 0, 255))), "{\\f0\\fs24\\cf1"},
        {"serif", Fmt(F::FontFamilies, QStringList{"Serif"}), "{\\f1\\fs24"},
        {"red", Fmt(F::ForegroundBrush, QBrush(Qt::red)), "{\\f0\\fs24\\cf2"},
        {"blue again", Fmt(F::ForegroundBrush, QBrush(Qt::blue)), "{\\f0\\fs24\\cf1"},
    };
    const auto document = EditorDocument();
    QTextCursor cursor(document.get());
    for (const auto& run : runs)
        cursor.insertText(QString::fromLatin1(run.text), run.format);
    cursor.insertText(QString::fromUtf8("x\\{}\ty\u2028z\x01\x07\x7f|Gr\u00fc\u00dfe \u20ac\uFFFD"
                                        "\U0001F600!"),
                      QTextCharFormat());
    const QByteArray rtf = TRtfWriter::Write(*document);
    ExpectWellFormed(rtf);
    EXPECT_TRUE(rtf.contains("{\\fonttbl{\\f0\\fnil Courier New;}{\\f1\\fnil Serif;}}"));
    EXPECT_TRUE(rtf.contains("{\\colortbl;\\red0\\green0\\blue255;\\red255\\green0\\blue0;}"));
    for (const auto& run : runs)
        EXPECT_EQ(GroupOf(rtf, run.text), run.group) << run.text.constData();
    // Control characters go; U+FFFD and the surrogates D83D DE00 are negative as 16-bit;
    // an empty group keeps unrtf from swallowing the letter after a \u.
    EXPECT_TRUE(rtf.contains("{\\f0\\fs24 x\\\\\\{\\}\\tab y\\line z|Gr\\u252?\\u223?{}e "
                             "\\u8364?\\u-3?\\u-10179?\\u-8704?{}!}"))
        << rtf.constData();
}

TEST(RtfWriter, ParagraphsAlignmentDirectionListsTablesAndImages)
{
    const auto document = EditorDocument();
    QTextCursor cursor(document.get());
    cursor.insertText("first");
    for (const Qt::Alignment align : {Qt::AlignHCenter, Qt::AlignRight, Qt::AlignJustify}) {
        QTextBlockFormat block;
        block.setAlignment(align);
        cursor.insertBlock(block);
        cursor.insertText("text");
    }
    cursor.insertBlock(QTextBlockFormat());
    cursor.insertText(QString::fromUtf8("\u05e9\u05dc\u05d5\u05dd")); // leading is right
    QTextBlockFormat absolute;
    absolute.setAlignment(Qt::AlignLeft | Qt::AlignAbsolute);
    cursor.insertBlock(absolute);
    cursor.insertText(QString::fromUtf8("\u05d0"));
    cursor.insertList(QTextListFormat::ListDecimal);
    cursor.insertText("item");
    cursor.insertList(QTextListFormat::ListDisc);
    cursor.insertText("bullet");
    cursor.insertBlock(QTextBlockFormat());
    cursor.insertImage(QImage(4, 4, QImage::Format_RGB32));
    cursor.insertText("after image");
    cursor.insertTable(1, 2)->cellAt(0, 1).firstCursorPosition().insertText("cell");
    const QByteArray rtf = TRtfWriter::Write(*document);
    ExpectWellFormed(rtf);

    // The header ends the first line; paragraphs follow, one \par between each two.
    const QStringList paragraphs =
        QString::fromLatin1(rtf.mid(rtf.indexOf('\n') + 1)).split(QStringLiteral("\\par\r\n"));
    ASSERT_EQ(paragraphs.size(), document->blockCount()) << rtf.constData();
    const char* starts[] = {"\\pard\\ql {",
                            "\\pard\\qc {",
                            "\\pard\\qr {",
                            "\\pard\\qj {",
                            "\\pard\\rtlpar\\qr {",
                            "\\pard\\rtlpar\\ql {",
                            "\\pard\\ql {\\f0\\fs24 1. }{\\f0\\fs24 item}",
                            "\\pard\\ql {\\f0\\fs24 \\u8226? }{\\f0\\fs24 bullet}",
                            "\\pard\\ql {\\f0\\fs24 after image}"};
    for (qsizetype i = 0; i < qsizetype(std::size(starts)); ++i)
        EXPECT_TRUE(paragraphs[i].startsWith(QString::fromLatin1(starts[i])))
            << i << ": " << paragraphs[i].toStdString();
    EXPECT_EQ(paragraphs[9], QStringLiteral("\\pard\\ql ")); // the empty first cell
    EXPECT_EQ(paragraphs[10], QStringLiteral("\\pard\\ql {\\f0\\fs24 cell}"));
    EXPECT_EQ(paragraphs.last(), QStringLiteral("\\pard\\ql \r\n}"));
}

TEST(RtfWriter, UnrtfReadsTheTextFormattingAndCharactersBack)
{
    const QString unrtf = QStandardPaths::findExecutable(QStringLiteral("unrtf"));
    ASSERT_FALSE(unrtf.isEmpty()) << "unrtf is not installed (scripts/install-deps.sh installs it)";
    const auto document = EditorDocument();
    QTextCursor cursor(document.get());
    cursor.insertText("Plain text, ");
    cursor.insertText("strong", Fmt(F::FontWeight, QFont::Bold));
    cursor.insertText(" ", QTextCharFormat());
    cursor.insertText("slanted", Fmt(F::FontItalic, true));
    cursor.insertText(" ", QTextCharFormat());
    cursor.insertText("red", Fmt(F::ForegroundBrush, QBrush(Qt::red)));
    const QString foreign = QString::fromUtf8("Gr\u00fc\u00dfe \u20ac5 \u4e2dx");
    cursor.insertText(' ' + foreign, QTextCharFormat());

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile file(dir.filePath(QStringLiteral("message.rtf")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(file.write(TRtfWriter::Write(*document)) > 0 && file.flush());
    QProcess reader;
    reader.start(unrtf, {QStringLiteral("--html"), file.fileName()});
    ASSERT_TRUE(reader.waitForFinished(20000)) << "unrtf did not finish";
    ASSERT_EQ(reader.exitCode(), 0) << reader.readAllStandardError().constData();
    const QString html = QString::fromUtf8(reader.readAllStandardOutput());
    EXPECT_TRUE(html.contains(QStringLiteral("<b>strong</b>"))) << html.toStdString();
    EXPECT_TRUE(html.contains(QStringLiteral("<i>slanted</i>")));
    EXPECT_TRUE(html.contains(QStringLiteral("<font color=\"#ff0000\">red</font>")));
    // unrtf writes named and numbered entities; Qt's HTML reader turns them back into text.
    QTextDocument decoded;
    decoded.setHtml(html);
    EXPECT_TRUE(decoded.toPlainText().contains("Plain text, strong slanted red " + foreign))
        << decoded.toPlainText().toStdString();
}

} // namespace
