#pragma once

#include "app/AppState.h"

#include <QCoreApplication>
#include <QTest>

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
    // What has come once the first message has (waiting up to ten seconds for it).
    QStringList takeWhenCome()
    {
        QStringList got;
        for (int round = 0; round < 1000 && got.isEmpty(); ++round)
            if (got += take(); got.isEmpty())
                QTest::qWait(10);
        return got + take();
    }

private:
    QStringList messages_;
    QMetaObject::Connection connection_;
};
