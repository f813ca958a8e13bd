#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

// Tunes Windows for speed and privacy in one blocking call: visual effects
// for best performance, the High performance power plan (not on battery),
// rarely needed services to manual start, and the privacy groups (Windows 10
// and later outside a domain). Keeps no state between calls.
class SystemSettings : public QObject
{
    Q_OBJECT

public:
    explicit SystemSettings(QObject* parent = nullptr);

    // Answers the number of changes made, also sent as optimizeCompleted.
    int optimize();

    // One value read through a native-format settings object ("HKEY_..."
    // key paths), or `defaultValue` when the key or the value is missing.
    QVariant readRegistryValue(const QString& keyPath, const QString& name, const QVariant& defaultValue) const;

signals:
    void progressUpdated(int percent, QString currentItem);
    void optimizeCompleted(int optimizedCount);

private:
    bool setVisualEffectsPerformance();
    bool setHighPerformancePowerPlan();
    int optimizeServices();
    int optimizePrivacy();
    bool isOnBatteryPower() const;
    bool isDomainJoined() const;
    bool writeRegistryValue(const QString& keyPath, const QString& name, const QVariant& value);
};
