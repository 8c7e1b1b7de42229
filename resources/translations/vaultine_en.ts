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
        <source>Zero&#xa0;KB</source>
        <translation>Zero&#xa0;KB</translation>
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
    <message>
        <source>Hide</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Change Back to &quot;%@&quot;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No guesses</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cut</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Copy</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Paste</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select All</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Spelling and Grammar</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show Spelling and Grammar</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Check Document Now</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Check Spelling While Typing</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Check Grammar With Spelling</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Correct Spelling Automatically</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Substitutions</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show Substitutions</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Smart Copy/Paste</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Smart Quotes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Smart Dashes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Smart Links</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Text Replacement</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Transformations</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Make Upper Case</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Make Lower Case</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Capitalize</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Speech</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Start Speaking</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stop Speaking</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>More...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Estimating...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%@ from %@ – %@...</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>NBGDPRWindowController</name>
    <message>
        <source>Before you start, please read and accept our Privacy Policy and Terms of Use. They explain which anonymous usage statistics Vaultine may send to help us improve it, and how your data stays protected.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Vaultine cannot be used without accepting them. Choose Quit if you do not agree.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Privacy Policy</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Terms of Use</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Quit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Accept</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>Close</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>VLAboutWindowController</name>
    <message>
        <source>Acknowledgements</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Visit Website</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>by nimbrel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>More Products</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>VLAlert</name>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The operation couldn’t be completed. %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The operation couldn’t be completed. (%1 error %2.)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>VLAppDelegate</name>
    <message>
        <source>&amp;Vaultine</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>About Vaultine</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Preferences…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Share Anonymous Usage Statistics</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Quit Vaultine</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show Tutorial</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Frequently Asked Questions</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Suggest a Feature…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Send Feedback…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Contact Support…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rate Vaultine…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Help us improve Vaultine</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Vaultine can send anonymous usage statistics to its makers. They never contain file names, passwords or the content of your files. You can change your mind at any time in Preferences.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Share anonymous usage statistics</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Done</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>VLDecryptCompletedViewController</name>
    <message>
        <source>Decrypted and Moved Out!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> Decrypted and Saved!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The desktop did not tell where the item was dropped. Look for it in the folder you dropped it in.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show in File Manager</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Start Over</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>VLDecryptViewController</name>
    <message>
        <source>Password</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Decrypt</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Start Over</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Hint: </source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>VLDecryptedViewController</name>
    <message>
        <source>Decrypted</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save As…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Start Over</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Preview</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>VLDecryptingViewController</name>
    <message>
        <source>Stop</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>VLDropViewController</name>
    <message>
        <source>Drop Files Here</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Files and folders become one encrypted container.
A .vault file is opened.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>VLEmailSharingService</name>
    <message>
        <source>Email</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>VLEncryptViewController</name>
    <message>
        <source>Encryption</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Preview</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Choose a password. You will need it to open the container.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Start Over</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Encrypt</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Enter Password</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Password Hint (optional)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Calculating Size...</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>VLEncryptedView</name>
    <message>
        <source>Your file is encrypted</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Share…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save As…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Start Over</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>VLEncryptedViewController</name>
    <message>
        <source>The name “%1” is already taken.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please choose a different name.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>VLEncryptingViewController</name>
    <message>
        <source>Encryption</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stop</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>VLErrorsHandler</name>
    <message>
        <source>The .vault file cannot be created.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please make sure that you have enough disk space and read/write permissions.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Vaultine cannot access this item.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Vaultine cannot process &quot;%1&quot;. Please make sure you have read/write permissions.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Vaultine cannot process this item. Please make sure you have read/write permissions.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This file cannot be opened.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a .vault file and cannot be decrypted with Vaultine.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This is not a .vault file and cannot be decrypted with Vaultine.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This file cannot be opened in this version.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>To decrypt this file, update Vaultine to the latest version.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&quot;%1&quot; is corrupted.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This file is corrupted.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unfortunately, the structure of this file is damaged and it cannot be decrypted.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File verification failed.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&quot;%1&quot; cannot be decrypted due to file verification fail.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This file cannot be decrypted due to file verification fail.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>There is not enough free space on the disk.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The disk that holds Vaultine&apos;s work folders is full. Free some space on it and try again. Your files have not been changed.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Vaultine cannot write to the disk.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Writing to the disk that holds Vaultine&apos;s work folders failed: %1. Your files have not been changed.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>An unknown error has occurred.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Vaultine failed due to an unknown error. Please try again.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Do you want to save a copy of &quot;%1&quot; before quitting?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Do you want to save a copy of this file before quitting?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Don&apos;t Save</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This file will be lost if you quit before saving it to a location.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Are you sure you want to start over?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This file will be lost if you start over before saving it to a location.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Are you sure you want to quit?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Quit Anyway</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Vaultine is currently processing a file. All of the current progress will be lost if you quit now.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>An application has been detected in this .vault file.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Locate</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Decrypt Anyway</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Vaultine needs your permission to make the changes necessary for the enclosed app to work correctly once it has been decrypted. Please locate your home folder to allow for this.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The item could not be saved there. Free some space on that disk and try again.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>VLFilesOpenPanel</name>
    <message>
        <source>Add</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add Files and Folders</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>VLPreferencesWindowController</name>
    <message>
        <source>Preferences</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Share anonymous usage statistics</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>They help us improve Vaultine and never contain file names, passwords or the content of your files.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>VLPreviewWindow</name>
    <message>
        <source>Preview</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Previous Item</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Next Item</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Calculating Size...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 of %2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>VLRatingPrompter</name>
    <message>
        <source>Rate Vaultine</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rate Now</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Remind Me Later</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No, Thanks</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>If Vaultine keeps your files safe, would you take a moment to rate it? It takes no more than a minute. Thank you for your support!</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>VLRenameInPlace</name>
    <message>
        <source>“%1” couldn’t be renamed because an item with the same name already exists.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>VLRenamingTextField</name>
    <message>
        <source>The name “%1” can&apos;t be used.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Try using a name with fewer characters, or with no punctuation marks.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>You can’t use a name that begins with a dot “.”, because these names are reserved for the system. Please choose another name.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>VLSaveToFileSharingService</name>
    <message>
        <source>Save to File…</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>VLSpecialCaseViewController</name>
    <message>
        <source>A Gift for You!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>You have unlocked a give-away. Open it to claim your gift.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>VLTransportWindowController</name>
    <message>
        <source>to</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>VLTutorialWindowController</name>
    <message>
        <source>Welcome to Vaultine</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
