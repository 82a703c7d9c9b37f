// Not built yet: an empty page under its title.
SettingsPane {
    objectName: "EventLog"
}
