#pragma once

#include <QIcon>
#include <QWidget>

// An application's icon, as the workspace gives it for the file at `path`, drawn in a
// `size` x `size` frame.
class AppIconView : public QWidget {
    Q_OBJECT
public:
    AppIconView(const QString& path, int size, QWidget* parent = nullptr);

    QString path() const { return path_; }
    int iconSize() const { return size_; }
    void setPath(const QString& path);
    QIcon icon() const { return icon_; }

    QSize sizeHint() const override { return {size_, size_}; }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString path_;
    int size_;
    QIcon icon_;
};
