#include "app/about_dlg.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "app/link_label.h"
#include "res/toolbar_icons.h"

namespace varnelo {

namespace {

// The maker's details are the project's own; the addresses are reserved example domains.
constexpr char kMakerName[] = "Varnelo 项目";
constexpr char kRights[] = "版权所有 © Varnelo 项目";
constexpr char kStatement[] = "为读长篇小说的人而写：书只在本机打开，从不上传。";
constexpr char kFeedbackMail[] = "意见和建议请来信：";
constexpr char kFeedbackWeb[] = "新版本与说明请见项目主页：";
constexpr char kMailAddress[] = "varnelo@example.com";
constexpr char kWebAddress[] = "https://example.org/varnelo";

constexpr const char* kUsageLines[] = {
    "【2.31】 更新时间：2010 年 5月 23日。",
    "1.记住工具栏，状态栏，书库，夜间模式。",
    "2.增加翻屏按钮和Esc退出全屏。",
    "3.增加最小化托盘。",
    "4.修复夜间模式下样式改变时的bug。",
    "",
    "----->>>快捷键<<<-----",
    "  '←'  上一页，\t'→ '  下一页",
    "  'F5'  添加书签， 'Enter'  自动滚屏， 'Ctrl+Enter/Esc'  全屏切换 ",
    "  'F1' 关闭侧边栏，'F2' 更多设置 ，'F3' 阅读时间记录 ",
    "  '空格键'  向下翻屏和自动下一页 ",
    "  'PageUp/ PageDown'  向上/下翻屏。",
};

QLabel* Static(const char* text, QWidget* parent) {
  return new QLabel(QString::fromUtf8(text), parent);
}

}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("关于 "));
  setFont(QFont(QStringLiteral("Arial"), 9));
  setModal(true);

  auto* box = new QGroupBox(QStringLiteral("Varnelo "), this);
  auto* icon = new QLabel(box);
  icon->setPixmap(AppIcon().pixmap(24, 24));
  auto* picture = new QLabel(box);
  picture->setPixmap(AppIcon().pixmap(48, 48));
  picture->setFixedSize(96, 90);
  picture->setAlignment(Qt::AlignCenter);
  picture->setFrameShape(QFrame::StyledPanel);

  name_ = Static(kMakerName, box);
  name_->setObjectName(QStringLiteral("static1051"));
  mailLink_ = new CLinkLabel(box);
  mailLink_->setObjectName(QStringLiteral("link1039"));
  webLink_ = new CLinkLabel(box);
  webLink_->setObjectName(QStringLiteral("link1040"));

  auto* details = new QGridLayout;
  details->addWidget(name_, 0, 0);
  details->addWidget(Static(kRights, box), 1, 0);
  details->addWidget(Static(kFeedbackMail, box), 2, 0);
  details->addWidget(mailLink_, 3, 0, Qt::AlignLeft);
  details->addWidget(Static(kFeedbackWeb, box), 4, 0);
  details->addWidget(webLink_, 5, 0, Qt::AlignLeft);
  auto* statement = Static(kStatement, box);
  statement->setWordWrap(true);
  details->addWidget(statement, 6, 0);

  auto* top = new QHBoxLayout(box);
  top->addWidget(icon, 0, Qt::AlignTop);
  top->addWidget(picture, 0, Qt::AlignTop);
  top->addSpacing(12);
  top->addLayout(details, 1);

  auto* notice = new QLabel(
      QStringLiteral("保护我们的家园！2009哥本哈根气候大会，2010“低碳生活”从你我开始！"), this);
  notice->setObjectName(QStringLiteral("static1038"));
  notice->setAlignment(Qt::AlignCenter);
  QPalette noticeColours = notice->palette();
  noticeColours.setColor(QPalette::WindowText, QColor::fromRgb(kNoticeColour));
  notice->setPalette(noticeColours);

  usage_ = new QPlainTextEdit(this);
  usage_->setObjectName(QStringLiteral("edit1001"));
  usage_->setReadOnly(true);
  usage_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  usage_->setMinimumHeight(usage_->fontMetrics().lineSpacing() * 8);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(box);
  layout->addWidget(notice);
  layout->addWidget(Static("——>>>Tellavin 使用说明<<<——", this));
  layout->addWidget(usage_, 1);

  OnInitDialog();
}

void CAboutDlg::OnInitDialog() {
  mailLink_->setText(QString::fromUtf8(kMailAddress));
  mailLink_->SetLinkTarget(QStringLiteral("mailto:") + QString::fromUtf8(kMailAddress));
  mailLink_->SetUnderlined(false);
  webLink_->setText(QString::fromUtf8(kWebAddress));
  webLink_->SetLinkTarget(QString::fromUtf8(kWebAddress));
  webLink_->SetUnderlined(false);

  for (const char* line : kUsageLines) usageText_ += QString::fromUtf8(line) + QStringLiteral("\r\n");
  // The edit breaks lines at LF; a CR would show as a stray mark.
  QString shown = usageText_;
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  usage_->setPlainText(shown);
  // The notes take the keys first; the links follow in the tab order.
  usage_->setFocus();
}

}  // namespace varnelo
