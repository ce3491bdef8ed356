// Qt's own dialogs speak Chinese in a session with no language, with Qt set up as the
// reader sets it up (the test binary started again, under LANG=C and LC_ALL=C).
#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QProcess>
#include <QRegularExpression>
#include <QStyledItemDelegate>
#include <QGlyphRun>
#include <QRawFont>
#include <QTemporaryDir>
#include <QTextLayout>
#include <QTimer>
#include <QTreeView>

#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "platform/services.h"

namespace varnelo {
namespace {

const QRegularExpression kLatin(QStringLiteral("[A-Za-z]"));

// Runs `inspect` on the modal dialog that `open` shows, then closes it.
void Inspect(const std::function<void()>& open, const std::function<void(QWidget&)>& inspect) {
  bool seen = false;
  QTimer::singleShot(0, [&] {
    QWidget* dialog = QApplication::activeModalWidget();
    if (dialog == nullptr) return;
    seen = true;
    inspect(*dialog);
    QMetaObject::invokeMethod(dialog, "reject");
  });
  open();
  EXPECT_TRUE(seen);
}

// The face fontconfig gives `family` for Simplified Chinese text.
QString SimplifiedChineseFace(const QString& family) {
  FcPattern* wanted = FcNameParse(reinterpret_cast<const FcChar8*>(
      (family + QStringLiteral(":lang=zh-cn:charset=4e66")).toUtf8().constData()));
  FcConfigSubstitute(nullptr, wanted, FcMatchPattern);
  FcDefaultSubstitute(wanted);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, wanted, &result);
  FcChar8* name = nullptr;
  QString face;
  if (match != nullptr && FcPatternGetString(match, FC_FAMILY, 0, &name) == FcResultMatch)
    face = QString::fromUtf8(reinterpret_cast<const char*>(name));
  if (match != nullptr) FcPatternDestroy(match);
  FcPatternDestroy(wanted);
  return face;
}

void InspectDialogsAsTheReader() {
  EXPECT_STREQ(std::getenv("LC_ALL"), "C") << "programs the reader starts keep the session's";

  // The menus' Chinese in the face of a Chinese session, not the first face fontconfig
  // has for no language (a brush-stroke one here).
  QTextLayout menuText(QStringLiteral("书库"), QApplication::font());
  menuText.beginLayout();
  menuText.createLine();
  menuText.endLayout();
  const QList<QGlyphRun> runs = menuText.glyphRuns();
  ASSERT_FALSE(runs.isEmpty());
  EXPECT_EQ(runs.front().rawFont().familyName().toStdString(),
            SimplifiedChineseFace(QApplication::font().family()).toStdString());

  Inspect([] { QtDialogService().OpenFileName(nullptr, QStringLiteral("打开"), QStringLiteral("*.txt")); },
          [](QWidget& dialog) {
            auto* tree = dialog.findChild<QTreeView*>();
            ASSERT_NE(tree, nullptr);
            QAbstractItemModel* model = tree->model();
            QStringList headers;
            for (int c = 0; c < model->columnCount(); ++c)
              headers << model->headerData(c, Qt::Horizontal).toString();
            EXPECT_EQ(headers.join(u'|'), QStringLiteral("名称|体积|类型|修改日期"));
            // The folder's rows come from a thread.
            const QDeadlineTimer deadline(60000);
            while (model->rowCount(tree->rootIndex()) == 0 && !deadline.hasExpired())
              QApplication::processEvents(QEventLoop::AllEvents, 50);
            ASSERT_EQ(model->rowCount(tree->rootIndex()), 1);
            const QModelIndex books = model->index(0, 0, tree->rootIndex());
            EXPECT_EQ(books.siblingAtColumn(2).data().toString(), QStringLiteral("文件夹"));
            const QString date = books.siblingAtColumn(3).data().toString();
            EXPECT_TRUE(!date.isEmpty() && !date.contains(kLatin)) << date.toStdString();
          });

  FontChoice font{QStringLiteral("Noto Sans CJK SC"), 20, 0};
  Inspect([&font] { QtDialogService().ChooseFont(nullptr, font); }, [](QWidget& dialog) {
    QStringList labels;
    for (const QLabel* label : dialog.findChildren<QLabel*>()) labels << label->text();
    // The list the "字体风格" label names, and the box above it.
    QListView* styles = nullptr;
    for (const QLabel* label : dialog.findChildren<QLabel*>()) {
      if (label->text() == QStringLiteral("字体风格(&Y)")) styles = qobject_cast<QListView*>(label->buddy());
    }
    ASSERT_NE(styles, nullptr) << labels.join(u'|').toStdString();
    auto* shown = qobject_cast<QStyledItemDelegate*>(styles->itemDelegate());
    ASSERT_NE(shown, nullptr);
    QStringList names;
    for (int row = 0; row < styles->model()->rowCount(); ++row)
      names << shown->displayText(styles->model()->index(row, 0).data(), QLocale());
    EXPECT_TRUE(names.contains(QStringLiteral("常规")) && !names.join(' ').contains(kLatin))
        << names.join(u'|').toStdString();
    const QList<QLineEdit*> boxes =
        styles->parentWidget()->findChildren<QLineEdit*>(Qt::FindDirectChildrenOnly);
    ASSERT_EQ(boxes.size(), 3);
    EXPECT_EQ(boxes[1]->text(), QStringLiteral("常规"));
    auto* sample = dialog.findChild<QLineEdit*>(QStringLiteral("qt_fontDialog_sampleEdit"));
    ASSERT_NE(sample, nullptr);
    EXPECT_TRUE(sample->text().contains(QStringLiteral("中文"))) << sample->text().toStdString();
  });
}

TEST(ChineseDialogs, OpenAndFontDialogsInChineseUnderLangC) {
  if (std::getenv("VARNELO_AS_READER") != nullptr) {
    InspectDialogsAsTheReader();
    return;
  }
  QTemporaryDir folder;
  ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("books")));
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("LANG"), QStringLiteral("C"));
  environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
  environment.remove(QStringLiteral("LANGUAGE"));
  environment.insert(QStringLiteral("VARNELO_AS_READER"), QStringLiteral("1"));
  QProcess child;
  child.setProcessEnvironment(environment);
  child.setWorkingDirectory(folder.path());
  child.start(QCoreApplication::applicationFilePath(),
              {QStringLiteral("--gtest_filter=ChineseDialogs.OpenAndFontDialogsInChineseUnderLangC")});
  ASSERT_TRUE(child.waitForFinished(240000));
  const QString output = QString::fromUtf8(child.readAllStandardOutput() + child.readAllStandardError());
  EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
  EXPECT_TRUE(output.contains(QStringLiteral("[  PASSED  ] 1 test"))) << output.toStdString();
}

}  // namespace
}  // namespace varnelo
