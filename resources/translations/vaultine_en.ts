<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="en">
<context>
    <name>Localizable</name>
    <message>
        <source>About %@</source>
        <translation>About %@</translation>
    </message>
    <message>
        <source>PluralForm0_second</source>
        <translation>second</translation>
    </message>
    <message>
        <source>PluralForm1_second</source>
        <translation>seconds</translation>
    </message>
    <message>
        <source>PluralForm2_second</source>
        <translation>seconds</translation>
    </message>
    <message>
        <source>PluralForm0_minute</source>
        <translation>minute</translation>
    </message>
    <message>
        <source>PluralForm1_minute</source>
        <translation>minutes</translation>
    </message>
    <message>
        <source>PluralForm2_minute</source>
        <translation>minutes</translation>
    </message>
    <message>
        <source>PluralForm0_hour</source>
        <translation>hour</translation>
    </message>
    <message>
        <source>PluralForm1_hour</source>
        <translation>hours</translation>
    </message>
    <message>
        <source>PluralForm2_hour</source>
        <translation>hours</translation>
    </message>
    <message>
        <source>PluralForm0_day</source>
        <translation>day</translation>
    </message>
    <message>
        <source>PluralForm1_day</source>
        <translation>days</translation>
    </message>
    <message>
        <source>PluralForm2_day</source>
        <translation>days</translation>
    </message>
    <message>
        <source>Zero KB</source>
        <translation>Zero KB</translation>
    </message>
    <message>
        <source>Zero</source>
        <translation>Zero</translation>
    </message>
    <message>
        <source>KB</source>
        <translation>KB</translation>
    </message>
    <message>
        <source>MB</source>
        <translation>MB</translation>
    </message>
    <message>
        <source>GB</source>
        <translation>GB</translation>
    </message>
    <message>
        <source>TB</source>
        <translation>TB</translation>
    </message>
    <message>
        <source>PB</source>
        <translation>PB</translation>
    </message>
    <message>
        <source>Version %@</source>
        <translation>Version %@</translation>
    </message>
    <message>
        <source>Made in Poland</source>
        <translation>Made in Poland</translation>
    </message>
</context>
</TS>
