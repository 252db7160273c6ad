#include "app/ui/AboutView.h"

#include "app/AboutInfo.h"
#include "app/ui/LiquidGlassCard.h"
#include "app/ui/SymbolView.h"
#include "platform/BundleInfo.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <mutex>

using ThemeStyle::Tone;

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
constexpr int captionSize = ThemeStyle::TextStyle::caption;
constexpr int contentWidth = 400;

struct Fact {
    QString label;
    QString value;
    const char* objectName;
};

} // namespace

AboutView::AboutView(QWidget* parent) : ThemedSheet(parent, 6)
{
    initTessarinResources();
    setObjectName(QStringLiteral("aboutView"));
    setWindowTitle(QStringLiteral("Tessarinについて"));
    setWindowIcon(applicationIcon());
    QVBoxLayout* root = content();

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
        auto* symbol = new SymbolView(QStringLiteral("stethoscope.circle.fill"), fallbackSymbolSize, QColor(), this);
        symbol->setObjectName(QStringLiteral("mascot"));
        ThemeStyle::onTheme(symbol, [symbol](AppTheme theme) { symbol->setColor(Theme::accentColor(theme)); });
        root->addWidget(symbol, 0, Qt::AlignHCenter);
    }
    root->addSpacing(4);

    // 2.-5. Name, release, mascot credit and code name.
    addLabel(QStringLiteral("Tessarin"), 26, QFont::Bold, Tone::primary, "productName");
    addLabel(AboutInfo::releaseLabel, 14, QFont::DemiBold, Tone::accent, "releaseLabel");
    addLabel(kMascotCredit, 11, QFont::Normal, Tone::secondary, "mascotCredit");
    root->addSpacing(4);
    addLabel(QStringLiteral("コードネーム “White Sorami”"), 12, QFont::Medium, Tone::primary, "codeName");
    addLabel(QStringLiteral("白そらみ嬢、Macをお手当中！"), 12, QFont::Normal, Tone::secondary, "tagline");
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
    QVBoxLayout* rows = ThemeStyle::column(card, 7, ThemeStyle::cardPadding);
    for (qsizetype i = 0; i < facts.size(); ++i) {
        if (i > 0)
            rows->addWidget(ThemeStyle::divider(card));
        QHBoxLayout* row = ThemeStyle::row(nullptr, 8);
        QLabel* label = ThemeStyle::label(facts[i].label, captionSize, QFont::Bold, Tone::secondary, card);
        label->setFixedWidth(labelColumnWidth);
        label->setObjectName(QString::fromLatin1(facts[i].objectName).replace(QLatin1String("Value"),
                                                                              QLatin1String("Label")));
        QLabel* value = ThemeStyle::label(facts[i].value, captionSize, QFont::Normal, Tone::primary, card);
        value->setObjectName(QString::fromLatin1(facts[i].objectName));
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        value->setAccessibleName(facts[i].label + QStringLiteral(": ") + facts[i].value);
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
    addLabel(kAcknowledgement, captionSize, QFont::Normal, Tone::secondary, "acknowledgement");
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
    ThemeStyle::makeProminent(close_, QColor(), ThemeStyle::ButtonSize::large);
    connect(close_, &QPushButton::clicked, this, &QDialog::accept);
    root->addWidget(close_, 0, Qt::AlignHCenter);
}

AboutView* AboutView::present(QWidget* parent)
{
    // A sheet belongs to the window, not to whichever child widget asked for it.
    return presentOver<AboutView>(parent);
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

void AboutView::addLabel(const QString& text, int pixelSize, QFont::Weight weight, ThemeStyle::Tone tone,
                         const char* objectName)
{
    QLabel* label = ThemeStyle::label(text, pixelSize, weight, tone, this);
    label->setObjectName(QString::fromLatin1(objectName));
    label->setAlignment(Qt::AlignHCenter);
    content()->addWidget(label, 0, Qt::AlignHCenter);
}
