// Password fields are read and emptied without leaving the typed password in memory.

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <memory>
#include <optional>

#include "Sealkit/SealkitFacade.h"
#include "app/ui/KeyfileDelegate.h"
#include "app/ui/KeyfileViewController.h"
#include "app/ui/SecretFields.h"
#include "guisupport/ContentWindow.h"
#include "guisupport/SecretTyping.h"
#include "guisupport/UiFixture.h"
#include "support/TestFiles.h"

using m2::test::MaskedValue;

namespace {

// Opens the key file sheet and keeps, masked, the text it hands back.
class KeyfileOwner : public m2::platform::ui::ViewController, public m2::keyfileDelegate {
  public:
    std::optional<MaskedValue> used;
    void useKeyfile(std::string_view key) override { used = MaskedValue::of(key); }
};

}  // namespace

class SecretFieldsTest : public QObject {
    Q_OBJECT

  private slots:
    // Typed key by key into a password field, read for use, and emptied as its dialog goes:
    // the reading made no plain UTF-8 copy and the emptying left no UTF-16 text behind.
    void readingAndClearingLeaveNoCopy() {
        if (!m2::test::memoryScanTells) {
            QSKIP(m2::test::memoryScanSkipped);
        }
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

    // The key file sheet: the key text made from the file, the password typed beside it and
    // the two together are gone once the sheet is. (The key text is shown in a plain field,
    // whose displayed UTF-16 copy is Qt's own and out of the program's reach.)
    void theKeyFileSheetLeavesNoCopy() {
        const auto password = MaskedValue::of(
            "Hollow 64 pines along the Marrick escarpment at the turn of the autumn tide");
        std::optional<MaskedValue> key;
        {
            m2::test::UiFixture fixture;
            KeyfileOwner* owner = nullptr;
            auto window = m2::test::windowWithContent<KeyfileOwner>(owner);
            window->showWindow();
            const auto keyPath = fixture.home() / "key.bin";
            m2::test::writeFile(keyPath, std::string(3000, 'k'));
            key = MaskedValue::of(Keyfile().createKey(keyPath.string()).view());
            auto* sheet = static_cast<m2::KeyfileViewController*>(
                owner->presentViewControllerAsSheet(std::make_unique<m2::KeyfileViewController>()));
            sheet->delegate = owner;
            fixture.openPanel().queueChoice({keyPath.string()});
            QTest::mouseClick(sheet->selectFileButton, Qt::LeftButton);
            m2::test::typeSecret(sheet->passwordEdit, password);
            QTest::mouseClick(sheet->useKeyButton, Qt::LeftButton);
            fixture.drainMainQueue();
            QVERIFY(owner->used.has_value());
            m2::Secret combined = key->reveal();
            combined.append(password.reveal().view());
            QVERIFY(owner->used->reveal() == combined);
        }
        std::vector<m2::test::SoughtValue> sought = m2::test::passwordForms(password);
        sought.push_back({"the key text (UTF-8)", *key});
        m2::test::verifyNothingInMemory(sought);
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
