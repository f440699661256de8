// Password fields are read and emptied without leaving the typed password in memory.

#include <QLineEdit>
#include <QtTest>

#include "app/ui/SecretFields.h"
#include "guisupport/SecretTyping.h"

using m2::test::MaskedValue;

class SecretFieldsTest : public QObject {
    Q_OBJECT

  private slots:
    // Typed key by key into a password field, read for use, and emptied as its dialog goes:
    // the reading made no plain UTF-8 copy and the emptying left no UTF-16 text behind.
    void readingAndClearingLeaveNoCopy() {
        const struct {
            const char* text;
            QLineEdit::EchoMode echo;
        } cases[] = {
            {"Amber 19 wharf beneath Kestrel Moor", QLineEdit::Password},
            // Long enough that the allocator does not soon hand its freed blocks out again.
            {"Seven 88 ravens over the quiet Harrowgate locks, past the willow ford where "
             "the ferryman keeps his lamp lit through every long November night",
             QLineEdit::Password},
        };
        for (const auto& c : cases) {
            const MaskedValue password = MaskedValue::of(c.text);
            {
                QLineEdit field;
                field.setEchoMode(c.echo);
                field.show();
                m2::test::typeSecret(&field, password);
                const m2::Secret read = m2::secretFieldText(&field);
                QVERIFY(read == password.reveal());
                m2::clearSecretFields({&field});
                QVERIFY(field.text().isEmpty());
            }
            m2::test::verifyNothingInMemory(m2::test::passwordForms(password));
        }
    }

    // Text that is not typed ASCII survives the reading as the same UTF-8 bytes.
    void readsEveryCharacterAsUtf8() {
        QLineEdit field;
        const QString text = QString::fromUtf8("caf\xC3\xA9 \xF0\x9F\x94\x91 \xE2\x82\xAC");
        field.setText(text);
        QVERIFY(m2::secretFieldText(&field) == std::string_view(text.toUtf8().constData()));
        QVERIFY(m2::secretFieldText(nullptr).empty());
    }
};

QTEST_MAIN(SecretFieldsTest)
#include "secret_fields_gui_test.moc"
