#pragma once

#include "exec/ScreenLifetime.h"

#include <QWidget>

#include <memory>

struct InfoSection;
class SysInfoModel;
class QLabel;
class QPushButton;
class QVBoxLayout;

// One section of the report: its symbol and title over a divider and its key/value rows.
class InfoSectionView : public QWidget {
    Q_OBJECT
public:
    InfoSectionView(const InfoSection& section, QWidget* parent = nullptr);
};

// The system report screen. Showing it gathers anew; "レポートを保存" saves what it shows.
class SysInfoView : public QWidget {
    Q_OBJECT
public:
    explicit SysInfoView(QWidget* parent = nullptr);
    ~SysInfoView() override;

    std::shared_ptr<SysInfoModel> model() const { return model_; }
    QPushButton* saveButton() const { return save_; }

    // Asks for a location in the save panel and writes the report there; a cancelled panel
    // or a failed write changes nothing.
    void saveReport();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void refresh();

    std::shared_ptr<SysInfoModel> model_;
    AppearanceScope appearance_;
    bool appeared_ = false;
    QPushButton* save_ = nullptr;
    QWidget* loading_ = nullptr;
    QWidget* sections_ = nullptr;
    QVBoxLayout* sectionsLayout_ = nullptr;
};
