<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="el_GR" sourcelanguage="en">
<context>
    <name>AlreadyValid</name>
    <message>
        <source>ALREADY VALIDATED</source>
        <translation>ΗΔΗ ΕΠΙΚΥΡΩΜΕΝΟ</translation>
    </message>
    <message>
        <source>Balance</source>
        <translation>Υπόλοιπο</translation>
    </message>
    <message>
        <source>Deducted</source>
        <translation>Αφαιρέθηκαν</translation>
    </message>
    <message>
        <source>Expires</source>
        <translation>Λήγει</translation>
    </message>
    <message>
        <source>Remaining</source>
        <translation>Υπόλοιπο</translation>
    </message>
    <message>
        <source>Trips</source>
        <translation>Διαδρομές</translation>
    </message>
    <message>
        <source>day</source>
        <translation>ημέρα</translation>
    </message>
    <message>
        <source>days</source>
        <translation>ημέρες</translation>
    </message>
    <message>
        <source>hour</source>
        <translation>ώρα</translation>
    </message>
    <message>
        <source>hours</source>
        <translation>ώρες</translation>
    </message>
    <message>
        <source>min</source>
        <translation>λεπτό</translation>
    </message>
    <message>
        <source>mins</source>
        <translation>λεπτά</translation>
    </message>
</context>
<context>
    <name>CustomPopup</name>
    <message>
        <source>No</source>
        <translation>Όχι</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>Ναι</translation>
    </message>
</context>
<context>
    <name>GUIManager</name>
    <message>
        <source>Exiting</source>
        <translation>Έξοδος</translation>
    </message>
    <message>
        <source>Connected</source>
        <translation>Συνδέθηκε</translation>
    </message>
    <message>
        <source>Connecting</source>
        <translation>Σύνδεση…</translation>
    </message>
    <message>
        <source>Disconnected</source>
        <translation>Χωρίς σύνδεση</translation>
    </message>
    <message>
        <source>Initializing</source>
        <translation>Αρχικοποίηση</translation>
    </message>
    <message>
        <source>Please Wait</source>
        <translation>Παρακαλώ Περιμένετε</translation>
    </message>
    <message>
        <source>Rebooting</source>
        <translation>Επανεκκίνηση</translation>
    </message>
    <message>
        <source>Shutting down</source>
        <translation>Τερματισμός Λειτουργίας</translation>
    </message>
</context>
<context>
    <name>Invalid</name>
    <message>
        <source>INVALID</source>
        <translation>ΑΚΥΡΟ</translation>
    </message>
</context>
<context>
    <name>Login</name>
    <message>
        <source>LOGIN</source>
        <translation>ΕΙΣΟΔΟΣ</translation>
    </message>
    <message>
        <source>Pin</source>
        <translation>Κωδικός</translation>
    </message>
</context>
<context>
    <name>OutOfOrder</name>
    <message>
        <source>OUT OF ORDER</source>
        <translation>ΠΡΟΣΩΡΙΝΑ
ΕΚΤΟΣ ΛΕΙΤΟΥΡΓΙΑΣ</translation>
    </message>
</context>
<context>
    <name>OutOfService</name>
    <message>
        <source>OUT OF SERVICE</source>
        <translation>ΕΚΤΟΣ ΥΠΗΡΕΣΙΑΣ</translation>
    </message>
</context>
<context>
    <name>Retry</name>
    <message>
        <source>PLEASE TRY AGAIN</source>
        <translation>ΔΟΚΙΜΑΣΤΕ ΞΑΝΑ</translation>
    </message>
</context>
<context>
    <name>ScanBarcode</name>
    <message>
        <source>SCAN
CARD</source>
        <translation>ΣΑΡΩΣΗ
ΚΑΡΤΑΣ</translation>
    </message>
    <message>
        <source>SCAN YOUR
TICKET</source>
        <translation>ΣΑΡΩΣΤΕ ΤΟ
ΕΙΣΙΤΗΡΙΟ ΣΑΣ</translation>
    </message>
</context>
<context>
    <name>ScanCard</name>
    <message>
        <source>SCAN
TICKET</source>
        <translation>ΣΑΡΩΣΗ
ΕΙΣΙΤΗΡΙΟΥ</translation>
    </message>
    <message>
        <source>SCAN
YOUR CARD</source>
        <translation>ΣΑΡΩΣΤΕ ΤΗΝ
ΚΑΡΤΑ ΣΑΣ</translation>
    </message>
</context>
<context>
    <name>ScanScreens</name>
    <message>
        <source>SCAN
YOUR CARD</source>
        <translation>ΣΑΡΩΣΤΕ ΤΗΝ
ΚΑΡΤΑ ΣΑΣ</translation>
    </message>
    <message>
        <source>SCAN
YOUR TICKET</source>
        <translation>ΣΑΡΩΣΤΕ ΤΟ
ΕΙΣΙΤΗΡΙΟ ΣΑΣ</translation>
    </message>
</context>
<context>
    <name>Transaction</name>
    <message>
        <source>Internal Error</source>
        <translation>Εσωτερικό Σφάλμα</translation>
    </message>
    <message>
        <source>Please try again</source>
        <translation>Προσπαθήστε πάλι</translation>
    </message>
    <message>
        <source>The card does not belong to this operator</source>
        <translation>Η κάρτα δεν ανήκει σε αυτό τον φορέα</translation>
    </message>
    <message>
        <source>The card does not have enough trips</source>
        <translation>Ανεπαρκές υπόλοιπο διαδρομών</translation>
    </message>
    <message>
        <source>The card does not have sufficient balance</source>
        <translation>Ανεπαρκές υπόλοιπο</translation>
    </message>
    <message>
        <source>The card has already been validated</source>
        <translation>Η κάρτα έχει ήδη επικυρωθεί</translation>
    </message>
    <message>
        <source>The card has expired</source>
        <translation>Η κάρτα έχει λήξει</translation>
    </message>
    <message>
        <source>The card is blocked</source>
        <translation>Η κάρτα είναι στην λίστα μη αποδεκτών καρτών</translation>
    </message>
    <message>
        <source>The card is invalid</source>
        <translation>Άκυρη κάρτα</translation>
    </message>
    <message>
        <source>The card is not active</source>
        <translation>Η κάρτα δεν έχει ενεργοποιηθεί</translation>
    </message>
    <message>
        <source>The card is not allowed in this route</source>
        <translation>Δεν επιτρέπεται σε αυτή την διαδρομή</translation>
    </message>
    <message>
        <source>The product is blocked</source>
        <translation>Το προιόν δεν μπορεί να χρησιμοποιηθεί</translation>
    </message>
    <message>
        <source>The product is not yet active</source>
        <translation>Το προιόν δεν είναι ενεργό</translation>
    </message>
    <message>
        <source>The ticket does not belong to this operator</source>
        <translation>Το εισιτήριο δεν ανήκει σε αυτόν τον φορέα</translation>
    </message>
    <message>
        <source>The ticket has already been validated</source>
        <translation>Το εισιτήριο έχει ήδη επικυρωθεί</translation>
    </message>
    <message>
        <source>The ticket has an invalid passenger profile</source>
        <translation>Το εισιτήριο δεν έχει σωστό προφίλ επιβάτη</translation>
    </message>
    <message>
        <source>The ticket has expired</source>
        <translation>Το εισιτήριο έχει λήξει</translation>
    </message>
    <message>
        <source>The ticket has invalid timestamp</source>
        <translation>Το εισιτήριο δεν έχει σωστή χρονική σήμανση</translation>
    </message>
    <message>
        <source>The ticket is invalid</source>
        <translation>Τα στοιχεία του εισιτηρίου δεν είναι σωστά</translation>
    </message>
    <message>
        <source>The ticket is not allowed in this axis</source>
        <translation>Δεν επιτρέπεται σε αυτή την διαδρομή</translation>
    </message>
    <message>
        <source>The ticket is not allowed in this route</source>
        <translation>Δεν επιτρέπεται σε αυτή την διαδρομή</translation>
    </message>
    <message>
        <source>The ticket is not allowed in this zone</source>
        <translation>Δεν επιτρέπεται σε αυτή την ζώνη</translation>
    </message>
    <message>
        <source>The ticket is not yet active</source>
        <translation>Το εισιτήριο δεν είναι ενεργό</translation>
    </message>
    <message>
        <source>This card can no longer be used</source>
        <translation>Η κάρτα δεν μπορεί να χρησιμοποιηθεί και χρειάζεται αντικατάσταση</translation>
    </message>
    <message>
        <source>Unknown Error</source>
        <translation>Άγνωστο Σφάλμα</translation>
    </message>
</context>
<context>
    <name>Valid</name>
    <message>
        <source>Balance</source>
        <translation>Υπόλοιπο</translation>
    </message>
    <message>
        <source>Deducted</source>
        <translation>Αφαιρέθηκαν</translation>
    </message>
    <message>
        <source>Expires</source>
        <translation>Λήγει</translation>
    </message>
    <message>
        <source>Remaining</source>
        <translation>Υπόλοιπο</translation>
    </message>
    <message>
        <source>Trips</source>
        <translation>Διαδρομές</translation>
    </message>
    <message>
        <source>VALID</source>
        <translation>ΕΓΚΥΡΟ</translation>
    </message>
    <message>
        <source>day</source>
        <translation>ημέρα</translation>
    </message>
    <message>
        <source>days</source>
        <translation>ημέρες</translation>
    </message>
    <message>
        <source>hour</source>
        <translation>ώρα</translation>
    </message>
    <message>
        <source>hours</source>
        <translation>ώρες</translation>
    </message>
    <message>
        <source>min</source>
        <translation>λεπτό</translation>
    </message>
    <message>
        <source>mins</source>
        <translation>λεπτά</translation>
    </message>
</context>
</TS>
