#pragma once

#include "app/AppState.h"

#include <QCoreApplication>
#include <QStringList>

#include <utility>

// The messages posted to the banner while it lives, as "text" or "!text" for errors.
class BannerMessages {
public:
    BannerMessages()
    {
        QCoreApplication::processEvents();   // what earlier tests queued
        connection_ = QObject::connect(&AppState::shared(), &AppState::globalMessageChanged, [this] {
            if (const auto message = AppState::shared().globalMessage())
                messages_ << (AppState::shared().globalMessageIsError() ? QStringLiteral("!") : QString()) + *message;
        });
    }
    ~BannerMessages() { QObject::disconnect(connection_); }
    BannerMessages(const BannerMessages&) = delete;
    BannerMessages& operator=(const BannerMessages&) = delete;

    // What was shown since the last call.
    QStringList take()
    {
        QCoreApplication::processEvents();
        return std::exchange(messages_, {});
    }

private:
    QStringList messages_;
    QMetaObject::Connection connection_;
};
