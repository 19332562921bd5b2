// The one usage-name list of these tests.
#pragma once

#include <string>

// HIDCopyUsageName keeps the first usage list it finds for the life of the
// process, and no test can make it forget that list: every test that lets it
// find one gives it this one, so that its names do not depend on which test ran first.
inline const std::string usageNameList = R"(<dict>
    <key>0x0001</key><dict>
        <key>Name</key><string>Generic Desktop</string>
        <key>0x0006</key><string>Keyboard</string>
        <key>0x0030</key><string>X</string>
        <key>0x0031</key><string>Y</string>
    </dict>
    <key>0xFF00</key><dict><key>0x0001</key><string>Vendor One</string></dict>
    <key>0x12345</key><dict><key>Name</key><string>Wide</string><key>0x0001</key><string>One</string></dict>
</dict>)";
