#include "widgets/TRemoteLabel.h"

#include <QLabel>

#include <gtest/gtest.h>

// A caller's name too long for its line is cut there, but read whole by a screen reader and in
// the tooltip; the next one that fits leaves nothing of it behind.
TEST(RemoteLabel, ACutShortLineIsSaidWholeAndForgottenWhenTheNextFits)
{
    QLabel label;
    label.resize(120, 16);
    const QString name = QStringLiteral("Reception desk of the north building, second floor\n");
    TRemoteLabel::Show(label, name, QStringLiteral(" calling..."));
    // The line break a peer sent is no line break in what is said either.
    const QString whole =
        QStringLiteral("Reception desk of the north building, second floor  calling...");
    EXPECT_TRUE(label.text().endsWith(QStringLiteral("… calling...")));
    EXPECT_LE(label.fontMetrics().horizontalAdvance(label.text()), 120);
    EXPECT_EQ(label.toolTip(), whole);
    EXPECT_EQ(label.accessibleName(), whole);

    TRemoteLabel::Show(label, QStringLiteral("Ann"), QStringLiteral(" calling..."));
    EXPECT_EQ(label.text(), QStringLiteral("Ann calling..."));
    EXPECT_TRUE(label.toolTip().isEmpty());
    EXPECT_TRUE(label.accessibleName().isEmpty());
}
