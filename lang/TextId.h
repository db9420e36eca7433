#pragma once
// The names of the catalog numbers: every text the program shows is asked
// for by one of these, and every one of them is listed here once. The name
// follows the English text of the entry. Numbers are fixed by the language
// files that ship beside the program; a new text takes a new number in every
// file and a new row here.
#include <QtGlobal>
#include <cstddef>
#include <iterator>

#define KV_TEXT_IDS(X) \
    X(Ok, 2) \
    X(Cancel, 3) \
    X(Close, 6) \
    X(Exit, 7) \
    X(Settings, 8) \
    X(New, 9) \
    X(Help, 10) \
    X(About, 11) \
    X(File, 12) \
    X(Delete, 14) \
    X(Edit, 15) \
    X(Paste, 16) \
    X(Copy, 17) \
    X(Report, 19) \
    X(Actions, 21) \
    X(MailProgram, 22) \
    X(OwnSubjectList, 23) \
    X(OwnSenderList, 24) \
    X(PasteFromClipboard, 25) \
    X(CopyToClipboard, 26) \
    X(Entries, 30) \
    X(Messages, 31) \
    X(Accounts, 32) \
    X(Progress, 33) \
    X(Account, 35) \
    X(Subject, 36) \
    X(Lists, 37) \
    X(DeleteMessage, 38) \
    X(MarkForDeletion, 39) \
    X(DeleteMarked, 40) \
    X(Restore, 41) \
    X(Automatic, 42) \
    X(Online, 43) \
    X(Undo, 44) \
    X(Extras, 45) \
    X(SendNotices, 46) \
    X(Total, 47) \
    X(ShowHints, 54) \
    X(ShowTipAtStart, 55) \
    X(Shortcuts, 58) \
    X(Create, 59) \
    X(Remove, 60) \
    X(StartMenu, 61) \
    X(Autostart, 62) \
    X(Favourites, 63) \
    X(ProgramsMenu, 64) \
    X(Desktop, 65) \
    X(StartMinimized, 67) \
    X(ShortcutCreated, 68) \
    X(ShortcutNotCreated, 69) \
    X(ShortcutRemoved, 70) \
    X(ShortcutNotRemoved, 71) \
    X(AlertSoundUnwanted, 72) \
    X(SoundNewAndDeletedMail, 73) \
    X(CheckAllAutomaticallyEvery, 74) \
    X(SavePasswords, 75) \
    X(DeleteSubjectListHits, 76) \
    X(DeleteOwnSubjectListHits, 77) \
    X(DeleteSenderListHits, 78) \
    X(DeleteOwnSenderListHits, 79) \
    X(DeleteOverSizeLimit, 80) \
    X(SizeLimitKByte, 81) \
    X(AlsoDeleteCheckingAll, 82) \
    X(Language, 83) \
    X(ShowSizesIn, 84) \
    X(Parameters, 85) \
    X(MailProgramFolder, 86) \
    X(ExitAfterMailProgram, 87) \
    X(ServerNameNotFound, 90) \
    X(DeletedBySubjectList, 91) \
    X(DeletedByOwnSubjectList, 92) \
    X(DeletedBySenderList, 93) \
    X(DeletedByOwnSenderList, 94) \
    X(DeletedOverSizeLimit, 95) \
    X(MailboxEmpty, 96) \
    X(DeleteTheMessage, 97) \
    X(SentBy, 98) \
    X(FromTheServer, 99) \
    X(NoMessageCanBeDeleted, 100) \
    X(LastCheckOfThisAccount, 101) \
    X(FoundNoMessagesOnServer, 102) \
    X(PleaseCheckAccountAgain, 103) \
    X(ThenSelectMessageToDelete, 104) \
    X(InTheList, 105) \
    X(AutomaticCheckOn, 106) \
    X(AutomaticCheckOff, 107) \
    X(NoAccountSelected, 112) \
    X(ChooseAccountFromList, 113) \
    X(OrSetOneUp, 114) \
    X(LoginRefused, 115) \
    X(NoConnectionToServer, 116) \
    X(DeletionsUndone, 117) \
    X(AutoDeleteWhenCheckingAll, 118) \
    X(SubjectListHitsDeleted, 119) \
    X(OwnSubjectListHitsDeleted, 120) \
    X(SenderListHitsDeleted, 121) \
    X(OwnSenderListHitsDeleted, 122) \
    X(OverSizeLimitDeleted, 123) \
    X(CheckingAccount, 124) \
    X(NoticesSent, 125) \
    X(CheckOfAllAccountsStarted, 126) \
    X(SkippedNoCredentials, 127) \
    X(SendersAreNotified, 128) \
    X(Save, 131) \
    X(ProviderTemplate, 132) \
    X(NewAccount, 133) \
    X(YouCanSetUpAtMost, 134) \
    X(AccountsCountSuffix, 135) \
    X(WillBeDeletedSure, 136) \
    X(AccountDeleted, 137) \
    X(EnterNewAccountData, 138) \
    X(SetUpNewAccount, 139) \
    X(EditSelectedAccount, 140) \
    X(SaveTheAccount, 141) \
    X(SelectAccountFirst, 142) \
    X(AccountsFound, 143) \
    X(ProviderTemplatesLoaded, 144) \
    X(UserName, 145) \
    X(Pop3Server, 146) \
    X(Port, 147) \
    X(Password, 148) \
    X(AccountName, 149) \
    X(DeleteThisAccount, 150) \
    X(EnterAccountName, 151) \
    X(Welcome, 152) \
    X(ShortcutsAreNowMade, 153) \
    X(FirstSetUpAccounts, 154) \
    X(ThenCheckAccounts, 155) \
    X(SettingsDecideDeletions, 156) \
    X(PressF1ForHelp, 157) \
    X(TotalColon, 161) \
    X(MessagesIn, 162) \
    X(AccountsLower, 163) \
    X(CloseListSaved, 164) \
    X(Sender, 165) \
    X(LastCheck, 167) \
    X(CheckAccount, 168) \
    X(CheckAllAccounts, 169) \
    X(AccountsButton, 170) \
    X(Mailbox, 171) \
    X(AllAccounts, 172) \
    X(Read, 175) \
    X(Fetch, 176) \
    X(Reason, 177) \
    X(CheckSelectedMailboxHint, 178) \
    X(CheckAllMailboxesHint, 179) \
    X(ReadSelectedHint, 180) \
    X(DeleteSelectedHint, 181) \
    X(MessagesInMailboxHint, 182) \
    X(AccountsWithMailHint, 183) \
    X(MessagesInAllAccountsHint, 184) \
    X(SubjectListHitsHint, 185) \
    X(OwnSubjectListHitsHint, 186) \
    X(SenderListHitsHint, 187) \
    X(OwnSenderListHitsHint, 188) \
    X(OverSizeLimitHint, 189) \
    X(DeleteAllMarkedHint, 190) \
    X(SetUpAccountsHint, 191) \
    X(StartMailProgramHint, 192) \
    X(UndoDeletionsHint, 193) \
    X(StillConnectedCheckAll, 194) \
    X(SaveLog, 196) \
    X(FetchAndDeleteHint, 197) \
    X(Unknown, 201) \
    X(FileName, 202) \
    X(Extension, 203) \
    X(Type, 204) \
    X(Print, 205) \
    X(SaveText, 206) \
    X(SaveAttachments, 207) \
    X(ChooseMailProgram, 221) \
    X(SenderName, 222) \
    X(EmailAddress, 223) \
    X(ReplyTo, 224) \
    X(BlindCopyTo, 225) \
    X(NotifySenders, 226) \
    X(More, 227) \
    X(Notices, 228) \
    X(EditNoticeText, 229) \
    X(SoundPlayback, 230) \
    X(BuiltInPlayer, 231) \
    X(SystemPlayer, 232) \
    X(ChooseSoundFile, 233) \
    X(AttachmentChecker, 234) \
    X(CheckAttachmentsAutomatically, 235) \
    X(ShowReadMeAtStart, 236) \
    X(NoMailProgram, 241) \
    X(DeleteAllMarkedQuestion, 242) \
    X(MessagesDeleted, 244) \
    X(ListSaved, 245) \
    X(NoOpenConnection, 246) \
    X(CheckAnAccountFirst, 247) \
    X(NoNotificationArea, 248) \
    X(QuitFailed, 300) \
    X(MessagesWaitingReadsAtMost, 301) \
    X(CharacterNotStorable, 320) \
    X(Line, 321) \
    X(SaveChangesQuestion, 322) \
    X(FillInThisField, 323) \
    X(EnterPortNumber, 324) \
    X(AlreadyExistsReplace, 325) \
    X(AttachmentsNotSaved, 326) \
    X(Date, 327) \
    X(ShortcutCreatedAt, 328) \
    X(NoShortcutCreated, 329) \
    X(ProgramFileMissing, 330) \
    X(FolderNotMade, 331) \
    X(FileNotWritten, 332) \
    X(AccountsNotChecked, 333) \
    X(NoLanguageChosen, 334) \
    X(NoSuchDesktopFolder, 335) \
    X(CertificateNotVerified, 350) \
    X(CertServer, 351) \
    X(CertificateFor, 352) \
    X(CertIssuedBy, 353) \
    X(CertValidFrom, 354) \
    X(CertValidUntil, 355) \
    X(CertFingerprint, 356) \
    X(TrustCertificateQuestion, 357) \
    X(TrustCertificate, 358) \
    X(DoNotTrust, 359) \
    X(CertificateFingerprint, 360) \
    X(HowToTrustLater, 361) \
    X(CheckedWithoutEncryption, 362) \
    X(ConnectionSecurity, 363) \
    X(SecurityTls, 364) \
    X(SecurityStartTls, 365) \
    X(SecurityStartTlsWhenOffered, 366) \
    X(SecurityNone, 367) \
    X(UnencryptedWarning, 368) \
    X(LoginName, 369) \
    X(ExtraCaCertificates, 370) \
    X(CaCertificatesHint, 371) \
    X(LoginNameHint, 372) \
    X(CertificateNowTrusted, 373) \
    X(NoticesStopped, 374) \
    X(LogInWith, 375) \
    X(LoginPassword, 376) \
    X(LoginOAuth2Token, 377) \
    X(OAuth2NeedsEncryption, 378) \
    X(OAuth2TokenHint, 379) \
    X(ServerCertificate, 382) \
    X(Certificates, 383) \
    X(TrustedCertificates, 384) \
    X(RemoveCertificate, 385) \
    X(TrustedCertificatesHint, 386) \
    X(CertificateNotTrustedEarlier, 387) \
    X(CaFileUnreadable, 388) \
    X(SettingsMadePrivate, 390) \
    X(NoKeyringAnswered, 391) \
    X(PasswordsNotReadFromKeyring, 392) \
    X(PasswordCommandOfAccount, 393) \
    X(CouldNotBeStarted, 394) \
    X(DidNotFinishWithin, 395) \
    X(SecondsAndStopped, 396) \
    X(EndedWithExitStatus, 397) \
    X(GaveNoPassword, 398) \
    X(QuoteNotClosed, 399) \
    X(PasswordCommand, 400) \
    X(PasswordCommandHint, 401) \
    X(PasswordCommandExample, 402) \
    X(KeyringRefusedPasswords, 403) \
    X(EndedAbnormally, 404) \
    X(AlsoCompareDecoded, 430) \
    X(AlsoCompareDecodedHint, 431) \
    X(VerdictShippedSubject, 450) \
    X(VerdictOwnSubject, 451) \
    X(VerdictShippedSender, 452) \
    X(VerdictOwnSender, 453) \
    X(VerdictSize, 454) \
    X(VerdictProtectedSender, 455) \
    X(NotifyOnlyConfirmed, 456) \
    X(ShowWhyInLog, 457) \
    X(ProtectedSenders, 458) \
    X(NotifyOnlyConfirmedHint, 459) \
    X(Preview, 460) \
    X(PreviewHint, 461) \
    X(PreviewHeading, 462) \
    X(TrustedCheckingServers, 463) \
    X(NoMessageWouldBeDeleted, 464) \
    X(PreviewWhileBusy, 465) \
    X(MessagesWouldBeDeleted, 466) \
    X(TrustedCheckingServersHint, 467) \
    X(NoNoticeTo, 468) \
    X(SkipNoTrustedField, 469) \
    X(SkipNoPass, 470) \
    X(SkipNotAligned, 471) \
    X(Mail, 490) \
    X(Offenders, 491) \
    X(CloseConnection, 492) \
    X(ReadMe, 493) \
    X(News, 494) \
    X(HomePage, 495) \
    X(UndoShort, 496)

enum class TextId : quint16 {
#define KV_TEXT_ID_ENUM(name, number) name = number,
    KV_TEXT_IDS(KV_TEXT_ID_ENUM)
#undef KV_TEXT_ID_ENUM
};

// Every id of the table, in ascending order of number.
inline constexpr TextId kAllTextIds[] = {
#define KV_TEXT_ID_ENTRY(name, number) TextId::name,
    KV_TEXT_IDS(KV_TEXT_ID_ENTRY)
#undef KV_TEXT_ID_ENTRY
};

inline constexpr quint16 textNumber(TextId id) { return static_cast<quint16>(id); }

namespace TextIdTable {
// A number given to two names would make one of them show the other's text.
constexpr bool strictlyAscending()
{
    for (std::size_t i = 1; i < std::size(kAllTextIds); ++i)
        if (textNumber(kAllTextIds[i - 1]) >= textNumber(kAllTextIds[i]))
            return false;
    return true;
}
static_assert(strictlyAscending(), "catalog numbers in KV_TEXT_IDS must be unique and ascending");
}
