// SPDX-License-Identifier: GPL-3.0-or-later
#include "PageMetrics.h"

namespace {
class Writer {
public:
    void family(const char* name, const char* type, const char* help)
    {
        name_ = name;
        out_ += QByteArray("# HELP vossbridge_") + name + ' ' + help + "\n# TYPE vossbridge_" +
                name + ' ' + type + '\n';
    }
    void sample(double value, const QByteArray& labels = {})
    {
        out_ += "vossbridge_" + name_ + (labels.isEmpty() ? "" : '{' + labels + '}') + ' ' +
                QByteArray::number(value, 'g', 12) + '\n';
    }
    void one(const char* name, const char* type, const char* help, double value)
    {
        family(name, type, help);
        sample(value);
    }
    // One sample a state, 1 for the state it is in.
    template <typename E>
    void states(const char* name, const char* help, E now, std::initializer_list<const char*> names)
    {
        family(name, "gauge", help);
        int i = 0;
        for (const char* n : names)
            sample(int(now) == i++ ? 1 : 0, QByteArray("state=\"") + n + '"');
    }
    QByteArray text() const { return out_; }

private:
    QByteArray name_;
    QByteArray out_;
};
} // namespace

QByteArray MetricsText(const PageMetrics& m)
{
    Writer w;
    w.one("reading_received", "gauge", "1 once the meter has sent a reply.", m.received);
    w.one("power_watts", "gauge", "Forward power of the last reply.", m.power);
    w.one("swr_ratio", "gauge", "SWR of the last reply.", m.swr);
    w.one("alarm_setting", "gauge", "The meter's SWR alarm: 0 Off, 1 1.5, 2 2.0, 3 2.5, 4 3.0.",
          m.alarmSetting);
    w.one("alarm_shown", "gauge", "1 while the meter shows its SWR alarm.", m.alarmShown);
    if (m.fullScaleWatts)
        w.one("range_full_scale_watts", "gauge", "Full scale of the meter's power range.",
              *m.fullScaleWatts);
    w.states("port", "The meter's serial port.", m.port, {"open", "lost", "waiting"});
    w.one("host_linked", "gauge", "1 while the host program takes the reports.", m.hostLinked);
    w.one("polls_total", "counter", "Poll commands written to the meter.", double(m.counts.polls));
    w.one("replies_accepted_total", "counter", "Poll ticks that read a whole status reply.",
          double(m.counts.accepted));
    w.one("replies_rejected_total", "counter",
          "Poll ticks that read something from the meter that was not a whole status reply.",
          double(m.counts.rejected));
    w.one("ticks_without_reply_total", "counter",
          "Poll ticks with the port open that read nothing from the meter.",
          double(m.counts.ticksWithoutReply));
    w.family("host_reports_total", "counter",
             "Reports to the host program by what became of them: answered, refused with an "
             "error, left unanswered for a second, or not sent for want of a link.");
    w.sample(double(m.counts.hostAnswered), "outcome=\"answered\"");
    w.sample(double(m.counts.hostRefused), "outcome=\"refused\"");
    w.sample(double(m.counts.hostUnanswered), "outcome=\"unanswered\"");
    w.sample(double(m.counts.hostNotSent), "outcome=\"not_sent\"");
    w.one("station_clients", "gauge", "Hamlib clients of the station link.", m.stationClients);
    w.one("station_refusals_total", "counter", "Station link clients turned away or cut off.",
          double(m.stationRefusals));
    w.one("protection_latched", "gauge", "1 while the SWR protection holds the rig unkeyed.",
          m.protectionLatched);
    w.states("mqtt", "The MQTT link.", m.mqtt, {"off", "connecting", "connected", "retrying"});
    w.one("web_clients", "gauge", "Clients of this page's server.", m.webClients);
    w.one("web_refusals_total", "counter", "Page clients turned away or cut off.",
          double(m.webRefusals));
    return w.text();
}
