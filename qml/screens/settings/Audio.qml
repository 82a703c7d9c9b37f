import QtQuick 2.15
import QtQuick.Controls 2.15
import "../../controls"

// Sound on or off, and its volume: a release plays the valid sound, then sets the volume.
SettingsPane {
    id: page

    objectName: "Audio"

    SettingRow {
        label: manager.dynTr + qsTr("Audio Enabled")
        FormSwitch {
            id: audioSwitch

            objectName: "audioSwitch"
            checked: board.audioEnabled
            // The technician's change, not the board's report coming back.
            onToggled: board.setAudioEnabled(checked)
        }
    }
    SliderRow {
        objectName: "volumeRow"
        label: manager.dynTr + qsTr("Audio Volume")
        enabled: audioSwitch.checked
        value: inspector.audioVolume
        onReleased: {
            inspector.audioPlay("/opt/velt/pernix/Valid.wav")
            inspector.setAudioVolume(value)
        }
    }
}
