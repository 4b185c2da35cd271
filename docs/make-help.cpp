// kv5-make-help: builds the help document KV5.PDF from the chapters of the user guide.
//
//     kv5-make-help --output KV5.PDF [--version TEXT] CHAPTER.md...
//
// Each chapter is Markdown (the GitHub dialect, so tables work) and begins with one level-1
// heading, its title. The chapters are read by Qt's text document, given the guide's fonts,
// numbered, and laid out on A4 pages behind a title page and a table of contents with page
// numbers; every page after the title page has the chapter title at its head and its number at
// its foot. A section heading never ends a page. Pictures are named relative to the chapter that
// shows them; one that stands alone on its line gets its description as a caption; a PNG whose
// resolution is set (the screenshots are taken at twice the screen's) is shown at four fifths of
// its size on the screen.
// A chapter or picture that cannot be read fails the build: the guide is never shipped
// incomplete.
#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>
#include <QTextTable>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>
#include <vector>

namespace {

const QString BodyFamily = QStringLiteral("DejaVu Sans");
const QString CodeFamily = QStringLiteral("DejaVu Sans Mono");
const QColor HeadingColor(0x1f, 0x3a, 0x5f);
const QColor RuleColor(0xa0, 0xa8, 0xb4);
const QColor CodeBackground(0xf0, 0xf2, 0xf5);
const QColor TableHeaderBackground(0xe4, 0xe9, 0xf0);
const QColor NoteBackground(0xfd, 0xf6, 0xe3);
// Screen pixels per inch: the unit of picture widths in the document.
constexpr double ScreenDpi = 96.0;
// Windows are shown a little smaller than on the screen, so that text and picture keep together.
constexpr double PictureScale = 0.8;

struct Options {
    QString output;
    QString version;
    QStringList chapters;
};

void fail(const QString& text) {
    std::fprintf(stderr, "kv5-make-help: %s\n", qPrintable(text));
}

bool parseArguments(const QStringList& arguments, Options& options) {
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if ((argument == QLatin1String("--output") || argument == QLatin1String("--version")) &&
            i + 1 < arguments.size()) {
            (argument == QLatin1String("--output") ? options.output : options.version) = arguments[++i];
        } else if (argument.startsWith(QLatin1String("--"))) {
            fail(QStringLiteral("unknown option %1").arg(argument));
            return false;
        } else {
            options.chapters << argument;
        }
    }
    if (options.output.isEmpty() || options.chapters.isEmpty()) {
        fail(QStringLiteral("usage: kv5-make-help --output KV5.PDF [--version TEXT] CHAPTER.md..."));
        return false;
    }
    return true;
}

// The chapters as one Markdown text, with every picture named by its absolute path. A picture
// that stands alone on its line gets its description as a caption below it; the captions are
// collected, to be set apart from the text.
bool readChapters(const QStringList& chapters, QString& markdown, QStringList& captions) {
    static const QRegularExpression picture(QStringLiteral(R"((!\[[^\]]*\]\()([^)\s]+)(\)))"));
    static const QRegularExpression pictureLine(
        QStringLiteral(R"(^([ \t]*)!\[([^\]]+)\]\(([^)\s]+)\)[ \t]*$)"), QRegularExpression::MultilineOption);
    for (const QString& path : chapters) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            fail(QStringLiteral("cannot read the chapter %1: %2").arg(path, file.errorString()));
            return false;
        }
        QString text = QString::fromUtf8(file.readAll());
        if (!text.trimmed().startsWith(QLatin1String("# "))) {
            fail(QStringLiteral("the chapter %1 does not begin with its title (# Title)").arg(path));
            return false;
        }
        const QString folder = QFileInfo(path).absolutePath();
        text.replace(pictureLine, QStringLiteral("\\1![\\2](\\3)\n\n\\1*\\2*"));
        for (auto match = pictureLine.globalMatch(text); match.hasNext();)
            captions << match.next().captured(2);
        QString resolved;
        qsizetype last = 0;
        for (auto match = picture.globalMatch(text); match.hasNext();) {
            const auto hit = match.next();
            resolved += text.mid(last, hit.capturedStart(2) - last);
            resolved += QFileInfo(folder + QLatin1Char('/') + hit.captured(2)).absoluteFilePath();
            last = hit.capturedEnd(2);
        }
        resolved += text.mid(last);
        markdown += resolved + QStringLiteral("\n\n");
    }
    return true;
}

// Loads every picture the text names into the document, at most as wide as the text.
bool loadPictures(QTextDocument& document, double textWidthScreenPixels) {
    bool ok = true;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            QTextCharFormat format = fragment.charFormat();
            if (!format.isImageFormat()) continue;
            QTextImageFormat image = format.toImageFormat();
            const QImage picture(image.name());
            if (picture.isNull()) {
                fail(QStringLiteral("cannot read the picture %1").arg(image.name()));
                ok = false;
                continue;
            }
            document.addResource(QTextDocument::ImageResource, QUrl(image.name()), picture);
            // The resolution stored in the file says how large the picture is on the screen.
            const double dpi = picture.dotsPerMeterX() > 0 ? picture.dotsPerMeterX() * 0.0254 : ScreenDpi;
            double width = picture.width() * ScreenDpi / dpi * PictureScale;
            double height = picture.height() * ScreenDpi / dpi * PictureScale;
            if (width > textWidthScreenPixels) {
                height *= textWidthScreenPixels / width;
                width = textWidthScreenPixels;
            }
            image.setWidth(width);
            image.setHeight(height);
            QTextCursor cursor(&document);
            cursor.setPosition(fragment.position());
            cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            cursor.setCharFormat(image);
        }
    }
    return ok;
}

// Merges format into every fragment of the block. A size adjustment (which the Markdown reader
// gives headings) would win over the point size, so it is taken out.
void setBlockCharFormat(const QTextBlock& block, const QTextCharFormat& format) {
    auto* document = const_cast<QTextDocument*>(block.document());
    std::vector<std::pair<int, int>> ranges;
    for (auto it = block.begin(); !it.atEnd(); ++it)
        ranges.emplace_back(it.fragment().position(), it.fragment().length());
    for (const auto& [position, length] : ranges) {
        QTextCursor cursor(document);
        cursor.setPosition(position);
        cursor.setPosition(position + length, QTextCursor::KeepAnchor);
        QTextCharFormat merged = cursor.charFormat();
        merged.merge(format);
        merged.clearProperty(QTextFormat::FontSizeAdjustment);
        cursor.setCharFormat(merged);
    }
}

// Marks the heading block of a chapter with the chapter's number.
constexpr int ChapterProperty = QTextFormat::UserProperty + 1;

struct Chapter {
    QString title;
    QTextBlock heading;
    int page = 0;
};

// The heading blocks of the chapters, found by their mark (inserting text before a block may
// hand its place to a new block, so blocks are found again after every insertion).
void findHeadings(QTextDocument& document, std::vector<Chapter>& chapters) {
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const int number = block.blockFormat().intProperty(ChapterProperty);
        if (number >= 1 && number <= static_cast<int>(chapters.size()))
            chapters[static_cast<size_t>(number - 1)].heading = block;
    }
}

bool isCode(const QTextBlock& block) {
    if (!block.isValid()) return false;
    const QTextBlockFormat format = block.blockFormat();
    return format.hasProperty(QTextFormat::BlockCodeFence) ||
           format.hasProperty(QTextFormat::BlockCodeLanguage);
}

// Fonts, spacing, colours and numbering of the chapters; returns the chapters in order.
std::vector<Chapter> styleDocument(QTextDocument& document) {
    std::vector<Chapter> chapters;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        QTextCursor cursor(block);
        QTextBlockFormat blockFormat = block.blockFormat();
        const int level = blockFormat.headingLevel();
        if (level > 0) {
            QTextCharFormat heading;
            heading.setFontFamilies({BodyFamily});
            heading.setFontWeight(QFont::Bold);
            heading.setForeground(HeadingColor);
            heading.setFontPointSize(level == 1 ? 20 : level == 2 ? 13.5 : 11);
            if (level == 1) {
                const QString title = block.text();
                chapters.push_back({title, block, 0});
                cursor.movePosition(QTextCursor::StartOfBlock);
                cursor.insertText(QStringLiteral("%1  ").arg(chapters.size()));
                blockFormat.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
                blockFormat.setBottomMargin(14);
                blockFormat.setProperty(ChapterProperty, static_cast<int>(chapters.size()));
            } else {
                blockFormat.setTopMargin(level == 2 ? 14 : 10);
                blockFormat.setBottomMargin(5);
            }
            cursor.setBlockFormat(blockFormat);
            setBlockCharFormat(block, heading);
        } else if (isCode(block)) {
            // One shaded box per code block: its lines are blocks of their own, so only the
            // first and the last keep a margin outside the box, the inner ones none.
            blockFormat.setBackground(CodeBackground);
            blockFormat.setLeftMargin(10);
            blockFormat.setRightMargin(10);
            blockFormat.setTopMargin(isCode(block.previous()) ? 0 : 4);
            blockFormat.setBottomMargin(isCode(block.next()) ? 0 : 8);
            blockFormat.setLineHeight(115, QTextBlockFormat::ProportionalHeight);
            blockFormat.setNonBreakableLines(false);
            cursor.setBlockFormat(blockFormat);
        } else if (blockFormat.hasProperty(QTextFormat::BlockQuoteLevel)) {
            // A quotation (a message of the program, a note) stands out on a tinted ground.
            blockFormat.setBackground(NoteBackground);
            blockFormat.setLeftMargin(10);
            blockFormat.setRightMargin(10);
            blockFormat.setTopMargin(4);
            blockFormat.setBottomMargin(8);
            cursor.setBlockFormat(blockFormat);
        } else if (!cursor.currentTable()) {
            blockFormat.setBottomMargin(std::max(blockFormat.bottomMargin(), 6.0));
            blockFormat.setLineHeight(112, QTextBlockFormat::ProportionalHeight);
            cursor.setBlockFormat(blockFormat);
        }
    }
    // Code, in its own face, slightly smaller than the text.
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.charFormat().fontFixedPitch() &&
                !fragment.charFormat().fontFamilies().toStringList().contains(CodeFamily))
                continue;
            QTextCursor cursor(&document);
            cursor.setPosition(fragment.position());
            cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            QTextCharFormat code;
            code.setFontFamilies({CodeFamily});
            code.setFontFixedPitch(true);
            code.setFontPointSize(9);
            cursor.mergeCharFormat(code);
        }
    }
    // Tables: thin ruled cells, a shaded head row.
    for (QTextFrame* frame : document.rootFrame()->childFrames()) {
        auto* table = qobject_cast<QTextTable*>(frame);
        if (!table) continue;
        QTextTableFormat format = table->format();
        format.setBorder(1);
        format.setBorderBrush(RuleColor);
        format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
        format.setBorderCollapse(true);
        format.setCellPadding(4);
        format.setCellSpacing(0);
        format.setHeaderRowCount(1);
        format.setTopMargin(4);
        format.setBottomMargin(8);
        table->setFormat(format);
        for (int row = 0; row < table->rows(); ++row) {
            for (int column = 0; column < table->columns(); ++column) {
                QTextTableCell cell = table->cellAt(row, column);
                QTextCharFormat format = cell.format();
                format.setVerticalAlignment(QTextCharFormat::AlignTop);
                if (row == 0) format.setBackground(TableHeaderBackground);
                cell.setFormat(format);
            }
        }
    }
    return chapters;
}

// Pictures stand centred, their captions centred below them in small grey italics.
void styleCaptions(QTextDocument& document, const QStringList& captions) {
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const bool picture = block.length() == 2 && block.begin().fragment().charFormat().isImageFormat();
        if (!picture) continue;
        QTextBlockFormat format = block.blockFormat();
        format.setAlignment(Qt::AlignHCenter);
        format.setTopMargin(6);
        format.setBottomMargin(2);
        QTextCursor(block).setBlockFormat(format);
        const QTextBlock caption = block.next();
        if (!caption.isValid() || !captions.contains(caption.text())) continue;
        QTextBlockFormat captionFormat = caption.blockFormat();
        captionFormat.setAlignment(Qt::AlignHCenter);
        captionFormat.setBottomMargin(12);
        QTextCursor(caption).setBlockFormat(captionFormat);
        QTextCharFormat text;
        text.setFontPointSize(8.5);
        text.setFontItalic(true);
        text.setForeground(Qt::darkGray);
        setBlockCharFormat(caption, text);
    }
}

// The title page and the table of contents, at the start of the document. The page numbers
// are written once the layout is known; their places hold as many digits beforehand.
QTextTable* insertFrontMatter(QTextDocument& document, const std::vector<Chapter>& chapters,
                              const QString& version, const QString& picture) {
    QTextCursor cursor(&document);
    cursor.movePosition(QTextCursor::Start);
    cursor.insertBlock();
    cursor.movePosition(QTextCursor::Start);

    const auto text = [&](const QString& line, double points, bool bold, const QColor& color,
                          double topMargin) {
        QTextBlockFormat block;
        block.setAlignment(Qt::AlignHCenter);
        block.setTopMargin(topMargin);
        QTextCharFormat format;
        format.setFontFamilies({BodyFamily});
        format.setFontPointSize(points);
        format.setFontWeight(bold ? QFont::Bold : QFont::Normal);
        format.setForeground(color);
        cursor.setBlockFormat(block);
        cursor.setBlockCharFormat(format);
        cursor.insertText(line, format);
        cursor.insertBlock();
    };
    text(QStringLiteral("Quorvane KV5"), 32, true, HeadingColor, 120);
    text(QStringLiteral("User Guide"), 20, false, HeadingColor, 8);
    text(QStringLiteral("The desktop companion of the KV5 data logger"), 12, false, Qt::black, 24);
    if (!version.isEmpty()) text(QStringLiteral("Version %1").arg(version), 11, false, Qt::darkGray, 6);
    if (!picture.isEmpty()) {
        QTextBlockFormat block;
        block.setAlignment(Qt::AlignHCenter);
        block.setTopMargin(48);
        cursor.setBlockFormat(block);
        QTextImageFormat image;
        image.setName(picture);
        cursor.insertImage(image);
        cursor.insertBlock();
    }

    QTextBlockFormat contentsHeading;
    contentsHeading.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    contentsHeading.setBottomMargin(14);
    QTextCharFormat headingFormat;
    headingFormat.setFontFamilies({BodyFamily});
    headingFormat.setFontPointSize(20);
    headingFormat.setFontWeight(QFont::Bold);
    headingFormat.setForeground(HeadingColor);
    cursor.setBlockFormat(contentsHeading);
    cursor.setBlockCharFormat(headingFormat);
    cursor.insertText(QStringLiteral("Contents"), headingFormat);

    QTextTableFormat tableFormat;
    tableFormat.setBorder(0);
    tableFormat.setCellPadding(3);
    tableFormat.setCellSpacing(0);
    tableFormat.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    tableFormat.setColumnWidthConstraints({QTextLength(QTextLength::FixedLength, 28),
                                           QTextLength(QTextLength::VariableLength, 0),
                                           QTextLength(QTextLength::FixedLength, 40)});
    QTextTable* contents = cursor.insertTable(static_cast<int>(chapters.size()), 3, tableFormat);
    QTextCharFormat entry;
    entry.setFontFamilies({BodyFamily});
    entry.setFontPointSize(11.5);
    for (int row = 0; row < contents->rows(); ++row) {
        const Chapter& chapter = chapters[static_cast<size_t>(row)];
        contents->cellAt(row, 0).firstCursorPosition().insertText(QString::number(row + 1), entry);
        contents->cellAt(row, 1).firstCursorPosition().insertText(chapter.title, entry);
        QTextCursor page = contents->cellAt(row, 2).firstCursorPosition();
        QTextBlockFormat right;
        right.setAlignment(Qt::AlignRight);
        page.setBlockFormat(right);
        page.insertText(QStringLiteral("00"), entry);
    }
    return contents;
}

// Lays the whole document out again. After a change to a paginated document the layout
// updates itself only in part, leaving later blocks without lines (and so unprinted); a full
// layout puts every block in its place.
void relayout(QTextDocument& document) {
    document.markContentsDirty(0, document.characterCount());
    document.documentLayout()->documentSize();
}

// A section heading that would end a page moves to the next one, with the text it heads.
// (The first line of the next block must end on the heading's page.)
template <typename PageOf, typename FootPageOf>
void keepHeadingsWithText(QTextDocument& document, const PageOf& pageOf, const FootPageOf& footPageOf) {
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        QTextBlockFormat format = block.blockFormat();
        if (format.headingLevel() < 2 || !block.next().isValid()) continue;
        if (pageOf(block) == footPageOf(block.next())) continue;
        format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        QTextCursor(block).setBlockFormat(format);
        relayout(document);
    }
}

void fillPageNumbers(QTextTable* contents, const std::vector<Chapter>& chapters) {
    for (int row = 0; row < contents->rows(); ++row) {
        QTextCursor cursor = contents->cellAt(row, 2).firstCursorPosition();
        cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        cursor.insertText(QString::number(chapters[static_cast<size_t>(row)].page), cursor.charFormat());
    }
}

} // namespace

int main(int argc, char** argv) {
    // Only fonts are needed, no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);

    Options options;
    if (!parseArguments(QCoreApplication::arguments(), options)) return 2;
    QString markdown;
    QStringList captions;
    if (!readChapters(options.chapters, markdown, captions)) return 1;

    QPdfWriter writer(options.output + QStringLiteral(".part"));
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(22, 16, 22, 14), QPageLayout::Millimeter);
    writer.setResolution(600);
    writer.setTitle(QStringLiteral("Quorvane KV5 User Guide"));
    writer.setCreator(QStringLiteral("kv5-make-help"));

    // Device pixels of the writer per point, and per screen pixel.
    const double perPoint = writer.resolution() / 72.0;
    const double perScreenPixel = writer.resolution() / ScreenDpi;
    const double headerBand = 26 * perPoint;
    const double footerBand = 24 * perPoint;
    const QRectF body(0, headerBand, writer.width(), writer.height() - headerBand - footerBand);

    QTextDocument document;
    document.setDocumentMargin(0);
    QFont font(BodyFamily);
    font.setPointSizeF(10);
    // No ligatures, so that the document's text reads back and searches as it was written.
    font.setStyleStrategy(QFont::PreferNoShaping);
    document.setDefaultFont(font);
    document.setMarkdown(markdown, QTextDocument::MarkdownDialectGitHub);
    // Measured on the writer, so fonts and pictures take their printed sizes.
    document.documentLayout()->setPaintDevice(&writer);

    std::vector<Chapter> chapters = styleDocument(document);
    styleCaptions(document, captions);
    if (chapters.empty()) {
        fail(QStringLiteral("the guide has no chapters"));
        return 1;
    }
    // The first picture of the guide, the main window, also stands on the title page.
    QString titlePicture;
    for (QTextBlock block = document.begin(); block.isValid() && titlePicture.isEmpty(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isImageFormat()) {
                titlePicture = it.fragment().charFormat().toImageFormat().name();
                break;
            }
    QTextTable* contents = insertFrontMatter(document, chapters, options.version, titlePicture);
    if (!loadPictures(document, body.width() / perScreenPixel)) return 1;
    findHeadings(document, chapters);

    document.setPageSize(body.size());
    relayout(document);
    const double pageHeight = body.height();
    // The page of a block's first line, by its top or by its foot.
    const auto linePage = [&](const QTextBlock& block, bool foot) {
        double y = document.documentLayout()->blockBoundingRect(block).top();
        if (const QTextLayout* layout = block.layout(); layout && layout->lineCount() > 0) {
            const QTextLine line = layout->lineAt(0);
            y += line.y() - layout->boundingRect().top() + (foot ? line.height() - 2 : 1);
        }
        return static_cast<int>(std::floor(y / pageHeight)) + 1;
    };
    const auto pageOf = [&](const QTextBlock& block) { return linePage(block, false); };
    const auto footPageOf = [&](const QTextBlock& block) { return linePage(block, true); };
    keepHeadingsWithText(document, pageOf, footPageOf);
    for (Chapter& chapter : chapters) chapter.page = pageOf(chapter.heading);
    fillPageNumbers(contents, chapters);
    relayout(document);
    // Two digits were reserved for every page number, so the layout stands as it was.
    for (Chapter& chapter : chapters) {
        if (pageOf(chapter.heading) != chapter.page) {
            fail(QStringLiteral("the contents moved the chapter %1").arg(chapter.title));
            return 1;
        }
    }

    // Every line of text has its place on a page, or the guide would print with holes.
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (block.length() > 1 && (!block.layout() || block.layout()->lineCount() == 0)) {
            fail(QStringLiteral("the text \"%1\" was not laid out").arg(block.text().left(40)));
            return 1;
        }
    }

    QPainter painter;
    if (!painter.begin(&writer)) {
        fail(QStringLiteral("cannot write %1").arg(options.output));
        return 1;
    }
    // Screenshots stay exact: stored without lossy compression.
    painter.setRenderHint(QPainter::LosslessImageRendering);
    painter.setRenderHint(QPainter::Antialiasing);
    const int pageCount = document.pageCount();
    QFont headFont(BodyFamily);
    headFont.setPointSizeF(8.5);
    headFont.setStyleStrategy(QFont::PreferNoShaping);
    for (int page = 1; page <= pageCount; ++page) {
        if (page > 1) writer.newPage();
        painter.save();
        painter.translate(body.left(), body.top() - (page - 1) * pageHeight);
        QAbstractTextDocumentLayout::PaintContext context;
        // The page's own band of the document; lines never cross its edges, so a band a little
        // narrower keeps the neighbouring pages' first and last lines out of this page's text.
        context.clip = QRectF(0, (page - 1) * pageHeight + 2, body.width(), pageHeight - 4);
        painter.setClipRect(context.clip);
        document.documentLayout()->draw(&painter, context);
        painter.restore();
        if (page == 1) continue;

        // Running head: the guide at the left, the chapter at the right, a rule below.
        QString chapterTitle = QStringLiteral("Contents");
        for (size_t i = 0; i < chapters.size(); ++i)
            if (chapters[i].page <= page)
                chapterTitle = QStringLiteral("%1  %2").arg(i + 1).arg(chapters[i].title);
        painter.setFont(headFont);
        painter.setPen(Qt::darkGray);
        const QRectF head(0, 0, body.width(), headerBand - 8 * perPoint);
        painter.drawText(head, Qt::AlignLeft | Qt::AlignBottom, QStringLiteral("Quorvane KV5 User Guide"));
        painter.drawText(head, Qt::AlignRight | Qt::AlignBottom, chapterTitle);
        painter.setPen(QPen(RuleColor, 0.6 * perPoint));
        painter.drawLine(QPointF(0, headerBand - 5 * perPoint),
                         QPointF(body.width(), headerBand - 5 * perPoint));
        painter.setPen(Qt::darkGray);
        const QRectF foot(0, body.bottom() + 8 * perPoint, body.width(), footerBand - 8 * perPoint);
        painter.drawText(foot, Qt::AlignHCenter | Qt::AlignTop,
                         QStringLiteral("Page %1 of %2").arg(page).arg(pageCount));
    }
    if (!painter.end()) {
        fail(QStringLiteral("cannot write %1").arg(options.output));
        return 1;
    }
    // The document appears whole or not at all.
    QFile::remove(options.output);
    if (!QFile::rename(options.output + QStringLiteral(".part"), options.output)) {
        fail(QStringLiteral("cannot give %1 its name").arg(options.output));
        return 1;
    }
    return 0;
}
