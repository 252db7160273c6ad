#include "app/ui/AboutView.h"

#include "app/AboutInfo.h"
#include "app/ThemeManager.h"
#include "app/ui/LiquidGlassCard.h"
#include "app/ui/SymbolView.h"
#include "app/ui/ThemeStyle.h"
#include "platform/BundleInfo.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <mutex>

// The resource file is compiled into a static library; nothing else refers to it, so the
// linker would drop it unless it is initialised by name (which has to happen outside any
// namespace).
static void initTessarinResources()
{
    static std::once_flag once;
    std::call_once(once, [] { Q_INIT_RESOURCE(tessarin); });
}

namespace {

const QString kMascotCredit = QStringLiteral("マスコット: 白そらみ嬢（Tessarin オリジナルキャラクター）🌸");
const QString kAcknowledgement = QStringLiteral("オープンソースのみなさんに、ありったけの感謝をこめて 💐");
// Caption-size text: the fact rows and the acknowledgement.
constexpr int captionSize = 11;
constexpr int contentWidth = 400;

struct Fact {
    QString label;
    QString value;
    const char* objectName;
};

} // namespace

AboutView::AboutView(QWidget* parent) : QDialog(parent)
{
    initTessarinResources();
    setObjectName(QStringLiteral("aboutView"));
    setWindowTitle(QStringLiteral("Tessarinについて"));
    setWindowFlag(Qt::Sheet, true);
    setWindowModality(Qt::WindowModal);
    setWindowIcon(applicationIcon());
    ThemeStyle::followTheme(this);

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(32, 28, 32, 24);
    root->setSpacing(6);
    root->setSizeConstraint(QLayout::SetFixedSize);

    // 1. The mascot, or the symbol when the picture cannot be loaded.
    const QPixmap mascot = mascotPixmap(mascotSize, devicePixelRatioF());
    showsMascotImage_ = !mascot.isNull();
    if (showsMascotImage_) {
        auto* picture = new QLabel(this);
        picture->setObjectName(QStringLiteral("mascot"));
        picture->setPixmap(mascot);
        picture->setFixedSize(mascotSize, mascotSize);
        picture->setAccessibleName(QStringLiteral("白そらみ嬢"));
        root->addWidget(picture, 0, Qt::AlignHCenter);
    } else {
        auto* symbol = new SymbolView(QStringLiteral("stethoscope.circle.fill"), fallbackSymbolSize,
                                      Theme::accentColor(ThemeManager::shared().currentTheme()), this);
        symbol->setObjectName(QStringLiteral("mascot"));
        root->addWidget(symbol, 0, Qt::AlignHCenter);
    }
    root->addSpacing(4);

    // 2.-5. Name, release, mascot credit and code name.
    primaryLabels_ << addLabel(QStringLiteral("Tessarin"), 26, QFont::Bold, "productName");
    release_ = addLabel(AboutInfo::releaseLabel, 14, QFont::DemiBold, "releaseLabel");
    secondaryLabels_ << addLabel(kMascotCredit, 11, QFont::Normal, "mascotCredit");
    root->addSpacing(4);
    primaryLabels_ << addLabel(QStringLiteral("コードネーム “White Sorami”"), 12, QFont::Medium, "codeName");
    secondaryLabels_ << addLabel(QStringLiteral("白そらみ嬢、Macをお手当中！"), 12, QFont::Normal, "tagline");
    root->addSpacing(10);

    // 6. The facts card.
    auto* card = new LiquidGlassCard(12, false, this);
    card->setObjectName(QStringLiteral("factsCard"));
    const QList<Fact> facts = {
        {QStringLiteral("バージョン"), AboutInfo::appVersion(platform::BundleInfo::shared()), "versionValue"},
        {QStringLiteral("対応OS"), QStringLiteral("macOS 13.0 Ventura 〜 macOS 27 Golden Gate"), "osValue"},
        {QStringLiteral("アーキテクチャ"), QStringLiteral("Apple Silicon (arm64)"), "architectureValue"},
        {QStringLiteral("デザイン"), QStringLiteral("Liquid Glass & Multi-Themes"), "designValue"},
    };
    // The card's own contents margins keep room for its shadow; these pad the rows inside the body.
    auto* rows = new QVBoxLayout(card);
    rows->setContentsMargins(16, 12, 16, 12);
    rows->setSpacing(7);
    for (qsizetype i = 0; i < facts.size(); ++i) {
        if (i > 0) {
            auto* divider = new QWidget(card);
            divider->setFixedHeight(1);
            divider->setAutoFillBackground(true);
            dividers_ << divider;
            rows->addWidget(divider);
        }
        auto* row = new QHBoxLayout;
        row->setSpacing(8);
        auto* label = new QLabel(facts[i].label, card);
        label->setFont(ThemeStyle::font(captionSize, QFont::Bold));
        label->setFixedWidth(labelColumnWidth);
        label->setObjectName(QString::fromLatin1(facts[i].objectName).replace(QLatin1String("Value"),
                                                                              QLatin1String("Label")));
        secondaryLabels_ << label;
        auto* value = new QLabel(facts[i].value, card);
        value->setFont(ThemeStyle::font(captionSize));
        value->setObjectName(QString::fromLatin1(facts[i].objectName));
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        value->setAccessibleName(facts[i].label + QStringLiteral(": ") + facts[i].value);
        primaryLabels_ << value;
        if (i == 0)
            version_ = value;
        row->addWidget(label);
        row->addWidget(value, 1);
        rows->addLayout(row);
    }
    card->setMinimumWidth(contentWidth);
    root->addWidget(card, 0, Qt::AlignHCenter);
    root->addSpacing(8);

    // 7. Acknowledgement.
    QLabel* thanks = addLabel(kAcknowledgement, captionSize, QFont::Normal, "acknowledgement");
    secondaryLabels_ << thanks;
    root->addSpacing(10);

    // 8. The close button.
    close_ = new QPushButton(QStringLiteral("閉じる"), this);
    close_->setObjectName(QStringLiteral("closeButton"));
    close_->setAccessibleName(QStringLiteral("閉じる"));
    close_->setDefault(true);
    close_->setAutoDefault(true);
    close_->setCursor(Qt::PointingHandCursor);
    close_->setFont(ThemeStyle::font(13, QFont::DemiBold));
    close_->setMinimumWidth(120);
    connect(close_, &QPushButton::clicked, this, &QDialog::accept);
    root->addWidget(close_, 0, Qt::AlignHCenter);

    applyTheme();
    connect(&ThemeManager::shared(), &ThemeManager::themeChanged, this, [this] { applyTheme(); });
}

AboutView* AboutView::present(QWidget* parent)
{
    // A sheet belongs to the window, not to whichever child widget asked for it.
    QWidget* window = parent ? parent->window() : nullptr;
    auto* view = new AboutView(window);
    view->setAttribute(Qt::WA_DeleteOnClose);
    view->setWindowModality(window ? Qt::WindowModal : Qt::ApplicationModal);
    view->show();
    return view;
}

QIcon AboutView::applicationIcon()
{
    initTessarinResources();
    QIcon icon(appIconResource);
    return icon.availableSizes().isEmpty() && icon.pixmap(64).isNull() ? QIcon() : icon;
}

QPixmap AboutView::mascotPixmap(int side, qreal devicePixelRatio)
{
    const QIcon icon = applicationIcon();
    if (icon.isNull())
        return QPixmap();
    const qreal dpr = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    QPixmap pixmap = icon.pixmap(QSize(side, side), dpr);
    return pixmap;
}

QLabel* AboutView::addLabel(const QString& text, int pixelSize, int weight, const char* objectName)
{
    auto* label = new QLabel(text, this);
    label->setObjectName(QString::fromLatin1(objectName));
    label->setFont(ThemeStyle::font(pixelSize, QFont::Weight(weight)));
    label->setAlignment(Qt::AlignHCenter);
    static_cast<QVBoxLayout*>(layout())->addWidget(label, 0, Qt::AlignHCenter);
    return label;
}

void AboutView::applyTheme()
{
    const AppTheme theme = ThemeManager::shared().currentTheme();
    const QColor accent = Theme::accentColor(theme);
    auto paint = [](QWidget* widget, QPalette::ColorRole role, const QColor& color) {
        QPalette palette = widget->palette();
        palette.setColor(role, color);
        widget->setPalette(palette);
    };
    for (QLabel* label : std::as_const(primaryLabels_))
        paint(label, QPalette::WindowText, Theme::primaryText(theme));
    for (QLabel* label : std::as_const(secondaryLabels_))
        paint(label, QPalette::WindowText, Theme::secondaryText(theme));
    paint(release_, QPalette::WindowText, accent);
    for (QWidget* divider : std::as_const(dividers_))
        paint(divider, QPalette::Window, Theme::separator(theme));

    close_->setStyleSheet(QStringLiteral(
        "QPushButton#closeButton { background-color: %1; color: white; border: none; border-radius: 8px;"
        " padding: 7px 28px; }"
        "QPushButton#closeButton:hover { background-color: %2; }"
        "QPushButton#closeButton:pressed { background-color: %3; }"
        "QPushButton#closeButton:focus { border: 2px solid %4; padding: 5px 26px; }")
                              .arg(accent.name(), accent.lighter(110).name(), accent.darker(115).name(),
                                   accent.lighter(135).name()));
    update();
}

void AboutView::paintEvent(QPaintEvent*)
{
    const AppTheme theme = ThemeManager::shared().currentTheme();
    const auto [first, second] = Theme::backgroundGradient(theme);
    QPainter painter(this);
    painter.fillRect(rect(), Theme::windowBase(theme));
    QLinearGradient gradient(rect().topLeft(), rect().bottomRight());
    gradient.setColorAt(0, first);
    gradient.setColorAt(1, second);
    painter.fillRect(rect(), gradient);
}
