#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <map>

namespace platform {
class Defaults;
}

// Keeps which variant (A, B or C) the user gets in each numbered experiment and stores the
// summary under "ABTesterValues", which the analytics tracker observes.
class VLABTester final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VLABTester)

public:
    enum Option : unsigned { A = 0, B = 1, C = 2, None = 3 };

    static inline const QString valuesDefaultsKey = QStringLiteral("ABTesterValues");

    static VLABTester &instance();
    explicit VLABTester(platform::Defaults &defaults, QObject *parent = nullptr);

    unsigned optionForCase(unsigned caseNumber) const;
    void setOptionForCase(unsigned option, unsigned caseNumber);
    void setOptionForCasePersist(unsigned option, unsigned caseNumber, bool persist);

    static unsigned optionFromString(const QString &letter);
    static QString humanReadableValueForOption(unsigned option);
    QString humanReadableValueForCase(unsigned caseNumber) const;
    // Every set case as number and letter ("1A2B"), in case order; empty with none set.
    QString humanReadableValues() const;

    // Runs the block of the case's option, else the default option's block, else nothing.
    void performCaseWithOptionsDefaultOption(unsigned caseNumber,
                                             const std::map<unsigned, std::function<void()>> &options,
                                             unsigned defaultOption) const;

private:
    platform::Defaults &m_defaults;
    std::map<unsigned, unsigned> m_cases;
    mutable std::optional<QString> m_values;
};
