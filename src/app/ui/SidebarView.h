#pragma once

#include "app/SidebarSection.h"

#include <QWidget>

class QLabel;
class QListWidget;

// The sidebar column: the navigation title, the list of the ten sections (its selection is
// AppState::selectedSection, both ways) and the release lines at the bottom.
class SidebarView : public QWidget {
    Q_OBJECT
public:
    explicit SidebarView(QWidget* parent = nullptr);

    static constexpr int minimumColumnWidth = 210;
    static constexpr int idealColumnWidth = 230;
    static QString navigationTitle();   // "Tessarin 🩺"
    static QString releaseLine();       // "Tessarin 2.2 “White Sorami”"
    static QString taglineLine();       // "白そらみ嬢、Macをお手当中！🌸"

    QListWidget* list() const { return list_; }
    QLabel* titleLabel() const { return title_; }
    QLabel* releaseLabel() const { return release_; }
    QLabel* taglineLabel() const { return tagline_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void selectRow(SidebarSection section);

    QLabel* title_;
    QListWidget* list_;
    QLabel* release_;
    QLabel* tagline_;
};
