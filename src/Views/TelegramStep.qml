import QtQuick
import Melodrift

// The sign-in sheet's Telegram step, for a sign-up or a password reset: the bot that sent the
// code (or, for a reset, the Telegram account it went to) with a button that opens it, how long
// the session stays valid, the six-box code field, for a reset the new password, and the button
// that confirms. Without a session it shows a spinner.
//     TelegramStep { sheet: model }     // a LoginSheetModel on step SignupTelegram or ForgotReset
Item {
    id: step

    required property LoginSheetModel sheet
    readonly property bool reset: sheet.purpose === LoginSheetModel.ConfirmReset
    readonly property color telegramBlue: Qt.rgba(0.13, 0.62, 0.85, 1)

    implicitWidth: 360
    implicitHeight: column.height + 36

    AccountCard { anchors.fill: parent }

    Column {
        id: column
        x: 18
        y: 18
        width: step.width - 36
        spacing: 18

        Item {
            objectName: "sessionSpinner"
            visible: !step.sheet.hasSession
            width: parent.width
            height: 30 + spinner.height
            ProgressView {
                id: spinner
                y: 30
                anchors.horizontalCenter: parent.horizontalCenter
                tint: "white"
            }
        }

        // ---- the bot
        Column {
            visible: step.sheet.hasSession
            width: parent.width
            spacing: 10

            Rectangle {
                width: parent.width
                height: botRow.implicitHeight + 24
                radius: 14
                color: Qt.rgba(1, 1, 1, 0.05)
                border.width: 0.8
                border.color: Qt.rgba(step.telegramBlue.r, step.telegramBlue.g, step.telegramBlue.b, 0.3)

                Row {
                    id: botRow
                    x: 12
                    width: parent.width - 24
                    anchors.verticalCenter: parent.verticalCenter
                    spacing: 10

                    Rectangle {
                        width: 44
                        height: 44
                        radius: 22
                        anchors.verticalCenter: parent.verticalCenter
                        color: Qt.rgba(step.telegramBlue.r, step.telegramBlue.g, step.telegramBlue.b, 0.18)
                        SymbolImage {
                            anchors.centerIn: parent
                            symbol: "paperplane.fill"
                            size: 19
                            color: step.telegramBlue
                        }
                    }
                    Column {
                        width: parent.width - 54
                        anchors.verticalCenter: parent.verticalCenter
                        spacing: 2
                        StaticText {
                            objectName: "botTitle"
                            width: parent.width
                            text: step.sheet.botTitle
                            font: Theme.withWeight(Theme.subheadline, Font.DemiBold)
                            color: "white"
                            horizontalAlignment: Text.AlignLeft
                            wrapMode: Text.Wrap
                        }
                        StaticText {
                            width: parent.width
                            text: "توی تلگرام روی Start بزن تا کد نمایش داده بشه"
                            font: Theme.caption
                            color: Qt.rgba(1, 1, 1, 0.5)
                            horizontalAlignment: Text.AlignLeft
                            wrapMode: Text.Wrap
                        }
                    }
                }
            }

            ScaleButtonStyle {
                id: openButton
                objectName: "openTelegramButton"
                width: parent.width
                text: "باز کردن تلگرام"
                focusRingRadius: 15
                onClicked: step.sheet.openTelegram()
                contentItem: Rectangle {
                    implicitHeight: openLabel.implicitHeight + 26
                    radius: 13
                    color: step.telegramBlue
                    SymbolLabel {
                        id: openLabel
                        anchors.centerIn: parent
                        spacing: 8
                        symbol: "paperplane.fill"
                        symbolSize: 15
                        text: "باز کردن تلگرام"
                        font: Theme.withWeight(Theme.subheadline, Font.Bold)
                        color: "white"
                    }
                }
            }
        }

        // ---- countdown
        StaticText {
            objectName: "countdown"
            visible: step.sheet.hasSession && step.sheet.secondsLeft >= 1
            anchors.horizontalCenter: parent.horizontalCenter
            text: step.sheet.countdownText
            font: Theme.withWeight(Theme.caption, Font.DemiBold)
            color: step.sheet.countdownWarning ? Theme.orange : Qt.rgba(1, 1, 1, 0.45)
        }

        // ---- the code card
        Item {
            visible: step.sheet.hasSession
            width: parent.width
            height: codeColumn.height + 36

            AccountCard { anchors.fill: parent }

            Column {
                id: codeColumn
                x: 18
                y: 18
                width: parent.width - 36
                spacing: 16

                OTPBoxes {
                    objectName: "codeField"
                    anchors.horizontalCenter: parent.horizontalCenter
                    code: step.sheet.otpCode
                    onEdited: value => step.sheet.otpCode = value
                    onSubmitted: step.sheet.confirm()
                }
                AccountField {
                    objectName: "newPasswordField"
                    visible: step.reset
                    width: parent.width
                    symbol: "lock.rotation"
                    placeholder: "رمز عبور جدید"
                    secure: true
                    text: step.sheet.newPassword
                    onEdited: value => step.sheet.newPassword = value
                    onSubmitted: step.sheet.confirm()
                }
                AccountErrorBanner {
                    objectName: "errorBanner"
                    width: parent.width
                    visible: step.sheet.hasErrorMessage
                    message: step.sheet.errorMessage
                }
                AccountCallToAction {
                    objectName: "confirmButton"
                    width: parent.width
                    title: step.reset ? "ثبت رمز جدید" : "تایید و ورود"
                    symbol: step.reset ? "checkmark" : "sparkles"
                    valid: step.sheet.confirmValid
                    submitting: step.sheet.isSubmitting
                    onClicked: step.sheet.confirm()
                }
            }
        }
    }
}
