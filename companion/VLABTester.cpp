#include "companion/VLABTester.h"

#include "platform/settings/Defaults.h"

#include <QCoreApplication>
#include <QHash>

namespace {

const QHash<QString, unsigned> &VLABTesterOptionTable()
{
    static const QHash<QString, unsigned> table = {{QStringLiteral("A"), VLABTester::A},
                                                   {QStringLiteral("B"), VLABTester::B},
                                                   {QStringLiteral("C"), VLABTester::C}};
    return table;
}

} // namespace

VLABTester &VLABTester::instance()
{
    static VLABTester *tester = new VLABTester(platform::Defaults::standard(), QCoreApplication::instance());
    return *tester;
}

VLABTester::VLABTester(platform::Defaults &defaults, QObject *parent) : QObject(parent), m_defaults(defaults)
{
    // A stored summary is kept as it is; it does not bring back any options.
    if (!m_defaults.contains(valuesDefaultsKey))
        m_defaults.setValue(valuesDefaultsKey, humanReadableValues());
}

unsigned VLABTester::optionForCase(unsigned caseNumber) const
{
    const auto it = m_cases.find(caseNumber);
    return it == m_cases.end() ? None : it->second;
}

void VLABTester::setOptionForCase(unsigned option, unsigned caseNumber)
{
    setOptionForCasePersist(option, caseNumber, true);
}

void VLABTester::setOptionForCasePersist(unsigned option, unsigned caseNumber, bool persist)
{
    if (option >= None || caseNumber == 0)
        m_cases.erase(caseNumber);
    else
        m_cases[caseNumber] = option;
    m_values.reset();
    if (persist)
        m_defaults.setValue(valuesDefaultsKey, humanReadableValues());
}

unsigned VLABTester::optionFromString(const QString &letter)
{
    return VLABTesterOptionTable().value(letter, None);
}

QString VLABTester::humanReadableValueForOption(unsigned option)
{
    switch (option) {
    case A:
        return QStringLiteral("A");
    case B:
        return QStringLiteral("B");
    case C:
        return QStringLiteral("C");
    default:
        return QString();
    }
}

QString VLABTester::humanReadableValueForCase(unsigned caseNumber) const
{
    const unsigned option = optionForCase(caseNumber);
    if (caseNumber == 0 || option == None)
        return QString();
    return QString::number(caseNumber) + humanReadableValueForOption(option);
}

QString VLABTester::humanReadableValues() const
{
    if (!m_values) {
        QString values;
        for (const auto &[caseNumber, option] : m_cases)
            values += humanReadableValueForCase(caseNumber);
        m_values = values;
    }
    return *m_values;
}

void VLABTester::performCaseWithOptionsDefaultOption(unsigned caseNumber,
                                                     const std::map<unsigned, std::function<void()>> &options,
                                                     unsigned defaultOption) const
{
    auto it = options.find(optionForCase(caseNumber));
    if (it == options.end() || !it->second)
        it = options.find(defaultOption);
    if (it != options.end() && it->second)
        it->second();
}
