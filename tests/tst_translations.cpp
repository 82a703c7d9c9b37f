#include "Transaction.h"

#include <QCoreApplication>
#include <QJsonObject>
#include <QTranslator>
#include <QtTest>

namespace {

const QString Catalogue = QStringLiteral(":/qml/translations/Pernix_el_GR.qm");

void row(const char *context, const char *source, const char *greek)
{
    QTest::addRow("%s: %s", context, source)
        << QByteArray(context) << QByteArray(source) << QString::fromUtf8(greek);
}

} // namespace

class TranslationsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_translator.load(Catalogue)); }

    void catalogue_data()
    {
        QTest::addColumn<QByteArray>("context");
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<QString>("greek");

        row("AlreadyValid", "ALREADY VALIDATED", "ΗΔΗ ΕΠΙΚΥΡΩΜΕΝΟ");
        row("AlreadyValid", "Balance", "Υπόλοιπο");
        row("AlreadyValid", "Deducted", "Αφαιρέθηκαν");
        row("AlreadyValid", "Expires", "Λήγει");
        row("AlreadyValid", "Remaining", "Υπόλοιπο");
        row("AlreadyValid", "Trips", "Διαδρομές");
        row("AlreadyValid", "day", "ημέρα");
        row("AlreadyValid", "days", "ημέρες");
        row("AlreadyValid", "hour", "ώρα");
        row("AlreadyValid", "hours", "ώρες");
        row("AlreadyValid", "min", "λεπτό");
        row("AlreadyValid", "mins", "λεπτά");
        row("CustomPopup", "No", "Όχι");
        row("CustomPopup", "Yes", "Ναι");
        // The connection's progress on the "Busy" screen and the cause on "OutOfOrder".
        row("GUIManager", "Connected", "Συνδέθηκε");
        row("GUIManager", "Connecting", "Σύνδεση…");
        row("GUIManager", "Disconnected", "Χωρίς σύνδεση");
        row("GUIManager", "Exiting", "Έξοδος");
        row("GUIManager", "Initializing", "Αρχικοποίηση");
        row("GUIManager", "Please Wait", "Παρακαλώ Περιμένετε");
        row("GUIManager", "Rebooting", "Επανεκκίνηση");
        row("GUIManager", "Shutting down", "Τερματισμός Λειτουργίας");
        row("Invalid", "INVALID", "ΑΚΥΡΟ");
        row("Login", "LOGIN", "ΕΙΣΟΔΟΣ");
        row("Login", "Pin", "Κωδικός");
        row("OutOfOrder", "OUT OF ORDER", "ΠΡΟΣΩΡΙΝΑ\nΕΚΤΟΣ ΛΕΙΤΟΥΡΓΙΑΣ");
        row("OutOfService", "OUT OF SERVICE", "ΕΚΤΟΣ ΥΠΗΡΕΣΙΑΣ");
        row("Retry", "PLEASE TRY AGAIN", "ΔΟΚΙΜΑΣΤΕ ΞΑΝΑ");
        row("ScanBarcode", "SCAN\nCARD", "ΣΑΡΩΣΗ\nΚΑΡΤΑΣ");
        row("ScanBarcode", "SCAN YOUR\nTICKET", "ΣΑΡΩΣΤΕ ΤΟ\nΕΙΣΙΤΗΡΙΟ ΣΑΣ");
        row("ScanCard", "SCAN\nTICKET", "ΣΑΡΩΣΗ\nΕΙΣΙΤΗΡΙΟΥ");
        row("ScanCard", "SCAN\nYOUR CARD", "ΣΑΡΩΣΤΕ ΤΗΝ\nΚΑΡΤΑ ΣΑΣ");
        row("ScanScreens", "SCAN\nYOUR CARD", "ΣΑΡΩΣΤΕ ΤΗΝ\nΚΑΡΤΑ ΣΑΣ");
        row("ScanScreens", "SCAN\nYOUR TICKET", "ΣΑΡΩΣΤΕ ΤΟ\nΕΙΣΙΤΗΡΙΟ ΣΑΣ");
        row("Transaction", "Internal Error", "Εσωτερικό Σφάλμα");
        row("Transaction", "Please try again", "Προσπαθήστε πάλι");
        row("Transaction", "The card does not belong to this operator",
            "Η κάρτα δεν ανήκει σε αυτό τον φορέα");
        row("Transaction", "The card does not have enough trips", "Ανεπαρκές υπόλοιπο διαδρομών");
        row("Transaction", "The card does not have sufficient balance", "Ανεπαρκές υπόλοιπο");
        row("Transaction", "The card has already been validated", "Η κάρτα έχει ήδη επικυρωθεί");
        row("Transaction", "The card has expired", "Η κάρτα έχει λήξει");
        row("Transaction", "The card is blocked", "Η κάρτα είναι στην λίστα μη αποδεκτών καρτών");
        row("Transaction", "The card is invalid", "Άκυρη κάρτα");
        row("Transaction", "The card is not active", "Η κάρτα δεν έχει ενεργοποιηθεί");
        row("Transaction", "The card is not allowed in this route",
            "Δεν επιτρέπεται σε αυτή την διαδρομή");
        row("Transaction", "The product is blocked", "Το προιόν δεν μπορεί να χρησιμοποιηθεί");
        row("Transaction", "The product is not yet active", "Το προιόν δεν είναι ενεργό");
        row("Transaction", "The ticket does not belong to this operator",
            "Το εισιτήριο δεν ανήκει σε αυτόν τον φορέα");
        row("Transaction", "The ticket has already been validated",
            "Το εισιτήριο έχει ήδη επικυρωθεί");
        row("Transaction", "The ticket has an invalid passenger profile",
            "Το εισιτήριο δεν έχει σωστό προφίλ επιβάτη");
        row("Transaction", "The ticket has expired", "Το εισιτήριο έχει λήξει");
        row("Transaction", "The ticket has invalid timestamp",
            "Το εισιτήριο δεν έχει σωστή χρονική σήμανση");
        row("Transaction", "The ticket is invalid", "Τα στοιχεία του εισιτηρίου δεν είναι σωστά");
        row("Transaction", "The ticket is not allowed in this axis",
            "Δεν επιτρέπεται σε αυτή την διαδρομή");
        row("Transaction", "The ticket is not allowed in this route",
            "Δεν επιτρέπεται σε αυτή την διαδρομή");
        row("Transaction", "The ticket is not allowed in this zone",
            "Δεν επιτρέπεται σε αυτή την ζώνη");
        row("Transaction", "The ticket is not yet active", "Το εισιτήριο δεν είναι ενεργό");
        row("Transaction", "This card can no longer be used",
            "Η κάρτα δεν μπορεί να χρησιμοποιηθεί και χρειάζεται αντικατάσταση");
        row("Transaction", "Unknown Error", "Άγνωστο Σφάλμα");
        row("Valid", "Balance", "Υπόλοιπο");
        row("Valid", "Deducted", "Αφαιρέθηκαν");
        row("Valid", "Expires", "Λήγει");
        row("Valid", "Remaining", "Υπόλοιπο");
        row("Valid", "Trips", "Διαδρομές");
        row("Valid", "VALID", "ΕΓΚΥΡΟ");
        row("Valid", "day", "ημέρα");
        row("Valid", "days", "ημέρες");
        row("Valid", "hour", "ώρα");
        row("Valid", "hours", "ώρες");
        row("Valid", "min", "λεπτό");
        row("Valid", "mins", "λεπτά");
    }

    void catalogue()
    {
        QFETCH(QByteArray, context);
        QFETCH(QByteArray, source);
        QFETCH(QString, greek);
        QCOMPARE(m_translator.translate(context.constData(), source.constData()), greek);
    }

    void sharedAndMissingTexts()
    {
        const QString route =
            m_translator.translate("Transaction", "The card is not allowed in this route");
        QCOMPARE(m_translator.translate("Transaction", "The ticket is not allowed in this axis"),
                 route);
        QCOMPARE(m_translator.translate("Transaction", "The ticket is not allowed in this route"),
                 route);
        QCOMPARE(m_translator.translate("Valid", "Balance"),
                 m_translator.translate("Valid", "Remaining"));

        // Marked for translation, but English in every language.
        QVERIFY(m_translator.translate("InitPage", "SAVE").isEmpty());
        QVERIFY(m_translator.translate("InitPage", "Please confirm the serial number").isEmpty());
        // A text belongs to its context.
        QVERIFY(m_translator.translate("Invalid", "VALID").isEmpty());
    }

    void denyReasonFollowsTheInstalledCatalogue()
    {
        const Transaction transaction(QJsonObject{{"denyReason", QJsonObject{{"id", 205}}}});
        QCOMPARE(transaction.denyReason(), QString("The card does not have sufficient balance"));
        QVERIFY(QCoreApplication::installTranslator(&m_translator));
        QCOMPARE(transaction.denyReason(), QString::fromUtf8("Ανεπαρκές υπόλοιπο"));
        QCOMPARE(Transaction(QJsonObject()).denyReason(), QString::fromUtf8("Άγνωστο Σφάλμα"));
        QVERIFY(QCoreApplication::removeTranslator(&m_translator));
        QCOMPARE(transaction.denyReason(), QString("The card does not have sufficient balance"));
    }

private:
    QTranslator m_translator;
};

QTEST_GUILESS_MAIN(TranslationsTest)
#include "tst_translations.moc"
