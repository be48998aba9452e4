// SPDX-License-Identifier: GPL-3.0-or-later
#include "SettingRules.h"

#include "MeterWindowSettings.h"
#include "MqttSettings.h"
#include "PortSettings.h"
#include "RecordSettings.h"
#include "StartUpSettings.h"
#include "StationLinkSettings.h"
#include "WebSettings.h"

namespace {
QList<SettingRule> AllRules()
{
    using R = SettingRule;
    namespace U = StartUpSettings;
    namespace S = StationLinkSettings;
    namespace M = MqttSettings;
    namespace W = WebSettings;
    namespace V = MeterWindowSettings;
    QList<SettingRule> rules{
        R::of(U::PositionLeft), R::of(U::PositionTop), R::of(U::PowerMode),  R::of(U::Range),
        R::of(U::Scale),        R::of(U::Alarm),       R::of(U::Height),     R::of(U::SetupStyle),
        R::of(U::SmallStyle),   R::of(U::VectorStyle), R::of(U::PortNumber), R::of(U::PollPeriod),
    };
    // The ports the window's list offers.
    for (int n = 1; n <= 16; ++n)
        rules.append(R::of(PortSettings::Device(n)));
    rules.append({
        R::of(S::Enabled),
        R::of(S::Listen),
        R::of(S::Rig),
        R::of(S::Protection),
        R::of(S::SwrLimit),
        R::of(S::HoldUntilAcknowledged),
        R::of(S::PowerFloor),
        R::of(S::Count),
        R::of(M::Enabled),
        R::of(M::Broker),
        R::of(M::ClientId),
        R::of(M::User),
        R::of(M::Password),
        R::of(M::CaFile),
        R::of(M::Prefix),
        R::of(M::Rate),
        R::of(M::Discovery),
        R::of(M::Commands),
        R::of(RecordSettings::Folder),
        R::of(V::Geometry),
        R::of(V::HistoryMinutes),
        R::of(V::PeakHoldMs),
        R::of(W::Enabled),
        R::of(W::Listen),
        R::of(W::Token),
        R::of(W::Names),
        R::of(W::Commands),
    });
    return rules;
}
} // namespace

const QList<SettingRule>& DocumentedSettings()
{
    static const QList<SettingRule> rules = AllRules();
    return rules;
}

const SettingRule* FindSetting(const QString& path)
{
    for (const SettingRule& rule : DocumentedSettings())
        if (rule.path == path)
            return &rule;
    return nullptr;
}

QString SettingRefusal(const QString& path, const QString& text)
{
    if (const SettingRule* rule = FindSetting(path))
        return rule->refusal(text);
    return QStringLiteral("%1: there is no such setting").arg(path);
}
