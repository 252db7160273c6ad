#pragma once

#include "app/SidebarSection.h"

#include <QWidget>

class QLabel;
class SectionHeader;

// Stands in the detail area for a screen that this build does not have yet: the screen's
// header and a short note.
class PlaceholderView : public QWidget {
    Q_OBJECT
public:
    explicit PlaceholderView(SidebarSection section, QWidget* parent = nullptr);

    SidebarSection section() const { return section_; }
    SectionHeader* header() const { return header_; }
    QLabel* noteLabel() const { return note_; }

    // The subtitle each screen's header carries.
    static QString subtitle(SidebarSection section);
    static QString noteText();

private:
    SidebarSection section_;
    SectionHeader* header_;
    QLabel* note_;
};
