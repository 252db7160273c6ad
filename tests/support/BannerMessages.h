#pragma once

#include "app/AppState.h"

#include <QCoreApplication>

// The messages posted to the banner while it lives, as "text" or "!text" for errors.
class BannerMessages {
public:
    BannerMessages()
    {
        QCoreApplication::processEvents();   // what earlier tests queued
        connection_ = QObject::connect(&AppState::shared(), &AppState::globalMessageChanged, [this] {
            if (const auto message = AppState::shared().globalMessage())
                messages_ << (AppState::shared().globalMessageIsError() ? "!" : "") + *message;
        });
    }
    ~BannerMessages() { QObject::disconnect(connection_); }
    BannerMessages(const BannerMessages&) = delete;

    QStringList take() { return QCoreApplication::processEvents(), std::exchange(messages_, {}); }

private:
    QStringList messages_;
    QMetaObject::Connection connection_;
};
