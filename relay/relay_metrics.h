#pragma once

#include <QByteArray>
#include <QMap>
#include <QMutex>
#include <QString>

// What the relay tells its operators over HTTP: counters that only grow,
// gauges that hold a current value, and health conditions. GET /metrics
// prints the figures in the Prometheus text format; GET /health answers
// 503 with the reasons while any condition is raised, else 200.
//
// Any part of the relay may hold a reference (one object, made in main()
// and passed by constructor) and set figures from any thread. Names are
// the constants below; a figure never set prints as 0 (once described)
// so that dashboards see every series from the start.
class RelayMetrics
{
public:
    // Counters (label in brackets).
    static constexpr const char *MessagesIn = "nimbrel_relay_messages_in_total";       // [code]
    static constexpr const char *DeliveriesOut = "nimbrel_relay_deliveries_out_total"; // [code]
    static constexpr const char *Refusals = "nimbrel_relay_refusals_total";            // [reason]
    static constexpr const char *StoreRetries = "nimbrel_relay_store_retries_total";
    static constexpr const char *StoreDropped = "nimbrel_relay_store_writes_dropped_total";
    // Gauges.
    static constexpr const char *Connections = "nimbrel_relay_connections";
    static constexpr const char *SignedOn = "nimbrel_relay_signed_on_clients";
    static constexpr const char *StoreQueue = "nimbrel_relay_store_queue_length";
    static constexpr const char *BusLag = "nimbrel_relay_bus_lag_seconds";

    // Health conditions; the reason is one line for the operator.
    static constexpr const char *Draining = "draining";
    static constexpr const char *StoreDown = "store";
    static constexpr const char *BusDown = "bus";

    RelayMetrics();

    // Declares a figure that is not among the constants above, so that it
    // prints with its help text. type is "counter" or "gauge"; labelName
    // empty for a figure without a label.
    void describe(const char *name, const char *type, const char *help, const char *labelName = "");

    // label is the label's value ("RPT", "rate"), empty for none.
    void add(const char *name, qint64 by = 1, const QByteArray &label = {});
    void set(const char *name, double value, const QByteArray &label = {});
    double value(const char *name, const QByteArray &label = {}) const;

    // Raising a condition again replaces its reason.
    void raise(const char *condition, const QString &reason);
    void clear(const char *condition);
    // Empty while healthy; otherwise the raised conditions' reasons, "; "
    // between them, on one line.
    QString unhealthyReason() const;

    // The whole exposition, text format 0.0.4.
    QByteArray exposition() const;

private:
    struct Family
    {
        QByteArray type;
        QByteArray help;
        QByteArray labelName;
        QMap<QByteArray, double> values; // by label value
    };
    mutable QMutex m_mutex;
    QMap<QByteArray, Family> m_families;
    QMap<QByteArray, QString> m_conditions;
};
