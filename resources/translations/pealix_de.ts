<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de" sourcelanguage="en">
<context>
    <name>ApplicationChooser</name>
    <message>
        <source>Add Application</source>
        <translation>Anwendung hinzufügen</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>Suchen</translation>
    </message>
    <message>
        <source>Search applications</source>
        <translation>Anwendungen durchsuchen</translation>
    </message>
    <message>
        <source>Applications</source>
        <translation>Anwendungen</translation>
    </message>
    <message>
        <source>&amp;Other…</source>
        <translation>&amp;Andere…</translation>
    </message>
    <message>
        <source>Other…</source>
        <translation>Andere…</translation>
    </message>
    <message>
        <source>Choose an application file that is not listed</source>
        <translation>Eine Anwendungsdatei wählen, die nicht aufgeführt ist</translation>
    </message>
    <message>
        <source>&amp;Add</source>
        <translation>&amp;Hinzufügen</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Hinzufügen</translation>
    </message>
</context>
<context>
    <name>ChimeSets</name>
    <message>
        <source>Custom...</source>
        <extracomment>The last entry of each quarter&apos;s list of chime sets; it asks for a sound file of one&apos;s own.</extracomment>
        <translation>Eigener Klang…</translation>
    </message>
    <message>
        <source>Chimes</source>
        <extracomment>A chime set: the bells of a chiming clock.</extracomment>
        <translation>Glockenspiel</translation>
    </message>
    <message>
        <source>Cathedral</source>
        <extracomment>A chime set: the large bells of a cathedral.</extracomment>
        <translation>Kathedrale</translation>
    </message>
    <message>
        <source>Carillon</source>
        <extracomment>A chime set: a carillon, many tuned bells played together.</extracomment>
        <translation>Carillon</translation>
    </message>
</context>
<context>
    <name>Duration</name>
    <message>
        <source>Write a duration as hours and minutes, such as 30m, 1h or 2h30m.</source>
        <translation>Geben Sie eine Dauer in Stunden und Minuten an, etwa 30m, 1h oder 2h30m.</translation>
    </message>
    <message>
        <source>The duration is empty.</source>
        <translation>Die Dauer ist leer.</translation>
    </message>
    <message>
        <source>The duration is too long.</source>
        <translation>Die Dauer ist zu lang.</translation>
    </message>
    <message>
        <source>A pause lasts at most 7 days; without a duration it lasts until you resume.</source>
        <translation>Eine Pause dauert höchstens 7 Tage; ohne Dauer hält sie an, bis Sie fortsetzen.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a duration.</source>
        <translation>„%1“ ist keine Dauer.</translation>
    </message>
    <message>
        <source>A pause of no time does nothing.</source>
        <translation>Eine Pause ohne Dauer bewirkt nichts.</translation>
    </message>
</context>
<context>
    <name>ExcludedApplications</name>
    <message>
        <source>Unknown application</source>
        <translation>Unbekannte Anwendung</translation>
    </message>
    <message>
        <source>Choose an Application</source>
        <translation>Anwendung wählen</translation>
    </message>
</context>
<context>
    <name>HelpPanel</name>
    <message>
        <source>Pealix Help</source>
        <translation>Pealix-Hilfe</translation>
    </message>
    <message>
        <source>Version</source>
        <translation>Version</translation>
    </message>
    <message>
        <source>Close help</source>
        <translation>Hilfe schließen</translation>
    </message>
    <message>
        <source>&lt;p&gt;Pealix chimes the quarter hours. At each quarter you turn on it plays the melody of the chime set you chose for it, or a sound file of your own, and, where you ask for it, strikes the hour after the melody.&lt;/p&gt;&lt;p&gt;&lt;b&gt;Chimes&lt;/b&gt;: &lt;i&gt;Chimes on&lt;/i&gt; starts Pealix now and at every login, and stops it when turned off. For each quarter, :00, :15, :30 and :45, choose a chime set in its list, or &lt;i&gt;Custom...&lt;/i&gt; to pick a sound file; &lt;i&gt;Play melody&lt;/i&gt; and &lt;i&gt;Strike the hour&lt;/i&gt; turn the melody and the hour strikes on or off; &lt;i&gt;Preview&lt;/i&gt; plays or stops the sound; &lt;i&gt;Volume&lt;/i&gt; sets the volume of every chime. The line below it says when the next chime sounds.&lt;/p&gt;&lt;p&gt;&lt;b&gt;Quiet Hours&lt;/b&gt;: during quiet hours the chimes stay silent, or play quietly. &lt;i&gt;Add quiet hours&lt;/i&gt; adds a range of hours; in each row choose its days and its times, or remove it. A range whose end is not after its start runs past midnight, and a start equal to the end is the whole day. Choose &lt;i&gt;Stay silent during quiet hours&lt;/i&gt;, or &lt;i&gt;Play quietly during quiet hours&lt;/i&gt; at the &lt;i&gt;Quiet volume&lt;/i&gt;.&lt;/p&gt;&lt;p&gt;&lt;b&gt;Options&lt;/b&gt;: &lt;i&gt;Show icon in the panel&lt;/i&gt; puts an icon in the panel, from which you can silence the chimes for a while. Pealix stays silent while an application of the list &lt;i&gt;Excluded applications&lt;/i&gt; runs: &lt;i&gt;Add application…&lt;/i&gt; adds one, &lt;i&gt;Remove application&lt;/i&gt; removes the selected one. It also stays silent &lt;i&gt;While Do Not Disturb is on&lt;/i&gt;, &lt;i&gt;While the microphone is in use&lt;/i&gt;, &lt;i&gt;While a full-screen window is focused&lt;/i&gt; or &lt;i&gt;While the screen is locked&lt;/i&gt;, each where its box is ticked.&lt;/p&gt;&lt;p&gt;&lt;b&gt;About&lt;/b&gt;: &lt;i&gt;Help&lt;/i&gt; shows this text; &lt;i&gt;Check for updates&lt;/i&gt; looks for a newer version; &lt;i&gt;Uninstall…&lt;/i&gt; removes Pealix.&lt;/p&gt;&lt;p&gt;The settings are kept in %1.&lt;/p&gt;</source>
        <translation>&lt;p&gt;Pealix läutet die Viertelstunden. Zu jeder eingeschalteten Viertelstunde spielt es die Melodie des dafür gewählten Glockensatzes oder eine eigene Klangdatei und schlägt, wo gewünscht, nach der Melodie die Stunde.&lt;/p&gt;&lt;p&gt;&lt;b&gt;Geläut&lt;/b&gt;: &lt;i&gt;Geläut an&lt;/i&gt; startet Pealix jetzt und bei jeder Anmeldung und beendet es, wenn es ausgeschaltet wird. Wählen Sie für jede Viertelstunde, :00, :15, :30 und :45, einen Glockensatz in ihrer Liste oder &lt;i&gt;Eigener Klang…&lt;/i&gt;, um eine Klangdatei auszuwählen; &lt;i&gt;Melodie spielen&lt;/i&gt; und &lt;i&gt;Stunde schlagen&lt;/i&gt; schalten die Melodie und den Stundenschlag ein oder aus; &lt;i&gt;Vorschau&lt;/i&gt; spielt den Klang ab oder hält ihn an; &lt;i&gt;Lautstärke&lt;/i&gt; legt die Lautstärke jedes Läutens fest. Die Zeile darunter sagt, wann das nächste Läuten erklingt.&lt;/p&gt;&lt;p&gt;&lt;b&gt;Ruhezeiten&lt;/b&gt;: Während der Ruhezeiten bleibt das Geläut stumm oder spielt leise. &lt;i&gt;Ruhezeiten hinzufügen&lt;/i&gt; fügt einen Zeitraum hinzu; wählen Sie in jeder Zeile seine Tage und Zeiten oder entfernen Sie ihn. Ein Zeitraum, dessen Ende nicht nach seinem Beginn liegt, reicht über Mitternacht hinaus, und ein Beginn gleich dem Ende ist der ganze Tag. Wählen Sie &lt;i&gt;Während der Ruhezeiten stumm bleiben&lt;/i&gt; oder &lt;i&gt;Während der Ruhezeiten leise spielen&lt;/i&gt; mit der &lt;i&gt;Leisen Lautstärke&lt;/i&gt;.&lt;/p&gt;&lt;p&gt;&lt;b&gt;Optionen&lt;/b&gt;: &lt;i&gt;Symbol in der Leiste anzeigen&lt;/i&gt; zeigt ein Symbol in der Leiste, über das Sie das Geläut eine Weile stummschalten können. Pealix bleibt stumm, während eine Anwendung der Liste &lt;i&gt;Ausgeschlossene Anwendungen&lt;/i&gt; läuft: &lt;i&gt;Anwendung hinzufügen…&lt;/i&gt; fügt eine hinzu, &lt;i&gt;Anwendung entfernen&lt;/i&gt; entfernt die ausgewählte. Außerdem bleibt es stumm, wo das jeweilige Kästchen angekreuzt ist: &lt;i&gt;Während „Nicht stören“ an ist&lt;/i&gt;, &lt;i&gt;Während das Mikrofon verwendet wird&lt;/i&gt;, &lt;i&gt;Während ein Vollbildfenster den Fokus hat&lt;/i&gt; oder &lt;i&gt;Während der Bildschirm gesperrt ist&lt;/i&gt;.&lt;/p&gt;&lt;p&gt;&lt;b&gt;Über&lt;/b&gt;: &lt;i&gt;Hilfe&lt;/i&gt; zeigt diesen Text; &lt;i&gt;Nach Aktualisierungen suchen&lt;/i&gt; sucht nach einer neueren Version; &lt;i&gt;Deinstallieren…&lt;/i&gt; entfernt Pealix.&lt;/p&gt;&lt;p&gt;Die Einstellungen werden in %1 gespeichert.&lt;/p&gt;</translation>
    </message>
</context>
<context>
    <name>LogindSleepMonitor</name>
    <message>
        <source>Silencing chimes before sleep</source>
        <extracomment>Why the program delays the computer&apos;s sleep, as the system&apos;s list of such locks shows it.</extracomment>
        <translation>Geläut wird vor dem Ruhezustand stummgeschaltet</translation>
    </message>
</context>
<context>
    <name>NextChime</name>
    <message>
        <source>%1 (quiet until then)</source>
        <extracomment>When the next chime sounds, after quiet hours that silence the ones before it</extracomment>
        <translation>%1 (bis dahin Ruhezeit)</translation>
    </message>
    <message>
        <source>%1, melody and strikes</source>
        <translation>%1, Melodie und Stundenschläge</translation>
    </message>
    <message>
        <source>%1, melody</source>
        <translation>%1, Melodie</translation>
    </message>
    <message>
        <source>%1, strikes</source>
        <translation>%1, Stundenschläge</translation>
    </message>
    <message>
        <source>%1, quietly</source>
        <extracomment>The next chime plays at the quiet volume of quiet hours</extracomment>
        <translation>%1, leise</translation>
    </message>
    <message>
        <source>%1 %2</source>
        <extracomment>A day and a time of the next days: &quot;Mon 07:00&quot;</extracomment>
        <translation>%1 %2</translation>
    </message>
</context>
<context>
    <name>NextChimeLine</name>
    <message>
        <source>Chimes are off</source>
        <translation>Das Geläut ist aus</translation>
    </message>
    <message>
        <source>No chimes scheduled</source>
        <translation>Kein Geläut geplant</translation>
    </message>
    <message>
        <source>Next: %1 (quiet until then)</source>
        <extracomment>%1 is a time, after quiet hours that silence the chimes before it</extracomment>
        <translation>Als Nächstes: %1 (bis dahin Ruhezeit)</translation>
    </message>
    <message>
        <source>melody and strikes</source>
        <extracomment>What the next chime plays, after its time in &quot;Next: %1, %2&quot;</extracomment>
        <translation>Melodie und Stundenschläge</translation>
    </message>
    <message>
        <source>melody</source>
        <translation>Melodie</translation>
    </message>
    <message>
        <source>strikes</source>
        <translation>Stundenschläge</translation>
    </message>
    <message>
        <source>Next: %1, %2, quietly</source>
        <translation>Als Nächstes: %1, %2, leise</translation>
    </message>
    <message>
        <source>Next: %1, %2</source>
        <translation>Als Nächstes: %1, %2</translation>
    </message>
</context>
<context>
    <name>PaneHost</name>
    <message>
        <source>Preferences</source>
        <extracomment>The window&apos;s title while it shows no pane: the desktop&apos;s preferences.</extracomment>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Preference panes</source>
        <translation>Einstellungsmodule</translation>
    </message>
    <message>
        <source>The pane “%1” failed to load its view: %2</source>
        <translation>Das Modul „%1“ konnte seine Ansicht nicht laden: %2</translation>
    </message>
    <message>
        <source>The pane “%1” failed to load its view.</source>
        <translation>Das Modul „%1“ konnte seine Ansicht nicht laden.</translation>
    </message>
    <message>
        <source>The pane “%1” has no view to show.</source>
        <translation>Das Modul „%1“ hat keine Ansicht zum Anzeigen.</translation>
    </message>
    <message>
        <source>No preference panes are installed.</source>
        <translation>Es sind keine Einstellungsmodule installiert.</translation>
    </message>
    <message>
        <source>There is no preference pane at “%1”.</source>
        <translation>Unter „%1“ gibt es kein Einstellungsmodul.</translation>
    </message>
    <message>
        <source>The pane “%1” names no principal class in its Info.plist.</source>
        <translation>Das Modul „%1“ nennt in seiner Info.plist keine Hauptklasse.</translation>
    </message>
    <message>
        <source>The pane “%1” names an invalid library.</source>
        <translation>Das Modul „%1“ nennt eine ungültige Bibliothek.</translation>
    </message>
    <message>
        <source>The pane “%1” has no library (%2 is missing).</source>
        <translation>Das Modul „%1“ hat keine Bibliothek (%2 fehlt).</translation>
    </message>
    <message>
        <source>The library of the pane “%1” cannot be loaded: %2</source>
        <translation>Die Bibliothek des Moduls „%1“ kann nicht geladen werden: %2</translation>
    </message>
    <message>
        <source>The library of the pane “%1” is not a preference pane.</source>
        <translation>Die Bibliothek des Moduls „%1“ ist kein Einstellungsmodul.</translation>
    </message>
    <message>
        <source>The pane “%1” was built for interface version %2; this host needs %3.</source>
        <translation>Das Modul „%1“ wurde für die Schnittstellenversion %2 erstellt; dieses Programm benötigt %3.</translation>
    </message>
    <message>
        <source>The pane “%1” failed to start: %2</source>
        <translation>Das Modul „%1“ konnte nicht starten: %2</translation>
    </message>
    <message>
        <source>The pane “%1” failed to start.</source>
        <translation>Das Modul „%1“ konnte nicht starten.</translation>
    </message>
    <message>
        <source>The library of the pane “%1” has no class “%2”.</source>
        <translation>Die Bibliothek des Moduls „%1“ hat keine Klasse „%2“.</translation>
    </message>
    <message>
        <source>usage: pealix-panehost [PANE.prefPane]
</source>
        <translation>Aufruf: pealix-panehost [MODUL.prefPane]
</translation>
    </message>
</context>
<context>
    <name>PealixController</name>
    <message>
        <source>Chime at %1:%2</source>
        <extracomment>The sound stream&apos;s name in the sound settings&apos; list of what plays; %1:%2 is the hour and minute.</extracomment>
        <translation>Geläut um %1:%2</translation>
    </message>
    <message>
        <source>Suspended until resumed.</source>
        <translation>Angehalten, bis fortgesetzt wird.</translation>
    </message>
    <message>
        <source>Chimes are turned off in the preferences.</source>
        <translation>Das Geläut ist in den Einstellungen ausgeschaltet.</translation>
    </message>
    <message>
        <source>Paused until %1.</source>
        <translation>Pausiert bis %1.</translation>
    </message>
    <message>
        <source>Chimes are paused until %1</source>
        <translation>Das Geläut pausiert bis %1</translation>
    </message>
    <message>
        <source>Silent: an excluded application is running.</source>
        <translation>Stumm: Eine ausgeschlossene Anwendung läuft.</translation>
    </message>
    <message>
        <source>Quiet until %1.</source>
        <translation>Ruhezeit bis %1.</translation>
    </message>
    <message>
        <source>Quiet all week.</source>
        <translation>Die ganze Woche Ruhezeit.</translation>
    </message>
    <message>
        <source>Quiet until %1</source>
        <translation>Ruhezeit bis %1</translation>
    </message>
    <message>
        <source>Chiming. Next chime at %1.</source>
        <translation>Das Geläut ist an. Nächstes Läuten um %1.</translation>
    </message>
    <message>
        <source>Chiming. No chime is scheduled.</source>
        <translation>Das Geläut ist an. Kein Läuten ist geplant.</translation>
    </message>
    <message>
        <source>Next chime at %1</source>
        <translation>Nächstes Läuten um %1</translation>
    </message>
    <message>
        <source>Silent: Do Not Disturb is on</source>
        <translation>Stumm: „Nicht stören“ ist an</translation>
    </message>
    <message>
        <source>Silent: the microphone is in use</source>
        <translation>Stumm: Das Mikrofon wird verwendet</translation>
    </message>
    <message>
        <source>Silent: the screen is locked</source>
        <translation>Stumm: Der Bildschirm ist gesperrt</translation>
    </message>
    <message>
        <source>Silent: a full-screen window is focused</source>
        <translation>Stumm: Ein Vollbildfenster hat den Fokus</translation>
    </message>
</context>
<context>
    <name>PealixPref</name>
    <message>
        <source>Changes not saved</source>
        <translation>Änderungen nicht gespeichert</translation>
    </message>
    <message>
        <source>Retr&amp;y</source>
        <translation>&amp;Wiederholen</translation>
    </message>
    <message>
        <source>Retry</source>
        <translation>Wiederholen</translation>
    </message>
    <message>
        <source>Your changes are not saved yet: %1. Pealix keeps trying.</source>
        <translation>Ihre Änderungen sind noch nicht gespeichert: %1. Pealix versucht es weiter.</translation>
    </message>
    <message>
        <source>Choose a Sound</source>
        <translation>Klang wählen</translation>
    </message>
    <message>
        <source>Sound files (%1)</source>
        <translation>Klangdateien (%1)</translation>
    </message>
    <message>
        <source>Removing Pealix</source>
        <translation>Pealix wird entfernt</translation>
    </message>
    <message>
        <source>Pealix was installed by your system&apos;s package manager, which removes it too.  To remove it, run this command in a terminal:

sudo apt remove pealix</source>
        <translation>Pealix wurde von der Paketverwaltung Ihres Systems installiert, die es auch entfernt. Führen Sie zum Entfernen diesen Befehl in einem Terminal aus:

sudo apt remove pealix</translation>
    </message>
    <message>
        <source>Are you sure you want to uninstall Pealix?  This cannot be undone.</source>
        <translation>Möchten Sie Pealix wirklich deinstallieren? Dies kann nicht rückgängig gemacht werden.</translation>
    </message>
    <message>
        <source>Uninstall</source>
        <translation>Deinstallieren</translation>
    </message>
    <message>
        <source>No, just checking</source>
        <translation>Nein, nur nachgesehen</translation>
    </message>
    <message>
        <source>Pealix and associated files will be moved to the trash</source>
        <translation>Pealix und zugehörige Dateien werden in den Papierkorb verschoben</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Pealix cannot be removed because its removal tool is missing.</source>
        <translation>Pealix kann nicht entfernt werden, weil sein Entfernungswerkzeug fehlt.</translation>
    </message>
    <message>
        <source>Your copy of Pealix cannot be removed without administrator permission.  Please enter your administrator password in the authorization window when it appears</source>
        <translation>Ihre Pealix-Installation kann nicht ohne Administratorrechte entfernt werden. Bitte geben Sie Ihr Administratorpasswort im Legitimierungsfenster ein, sobald es erscheint</translation>
    </message>
    <message>
        <source>Pealix cannot be removed because polkit does not know its removal action &quot;%1&quot;: the file %1.policy is missing from /usr/share/polkit-1/actions.  Install Pealix again, or ask your administrator to remove it.</source>
        <translation>Pealix kann nicht entfernt werden, weil polkit seine Entfernungsaktion „%1“ nicht kennt: Die Datei %1.policy fehlt in /usr/share/polkit-1/actions. Installieren Sie Pealix erneut oder bitten Sie Ihre Systemverwaltung, es zu entfernen.</translation>
    </message>
    <message>
        <source>Pealix cannot be removed because pkexec, which runs its removal tool with administrator permission, is not installed.  Install the package pkexec (polkit) and try again, or ask your administrator to remove Pealix.</source>
        <translation>Pealix kann nicht entfernt werden, weil pkexec nicht installiert ist, das sein Entfernungswerkzeug mit Administratorrechten ausführt. Installieren Sie das Paket pkexec (polkit) und versuchen Sie es erneut, oder bitten Sie Ihre Systemverwaltung, Pealix zu entfernen.</translation>
    </message>
    <message>
        <source>Pealix cannot be removed because polkit, which asks for the administrator password, did not answer.  Check that the polkit service runs and try again.</source>
        <translation>Pealix kann nicht entfernt werden, weil polkit, das nach dem Administratorpasswort fragt, nicht geantwortet hat. Prüfen Sie, ob der polkit-Dienst läuft, und versuchen Sie es erneut.</translation>
    </message>
    <message>
        <source>Remove Pealix cancelled</source>
        <translation>Entfernen von Pealix abgebrochen</translation>
    </message>
    <message>
        <source>Uninstall was cancelled because you did not enter an administrator password</source>
        <translation>Die Deinstallation wurde abgebrochen, weil Sie kein Administratorpasswort eingegeben haben</translation>
    </message>
    <message>
        <source>Pealix has been removed.  System Preferences will now exit.</source>
        <translation>Pealix wurde entfernt. Die Systemeinstellungen werden jetzt beendet.</translation>
    </message>
    <message>
        <source>Parts of Pealix could not be moved to the trash.  System Preferences will now exit.</source>
        <translation>Teile von Pealix konnten nicht in den Papierkorb verschoben werden. Die Systemeinstellungen werden jetzt beendet.</translation>
    </message>
    <message>
        <source>The removal tool could not be started, so nothing was removed.  System Preferences will now exit.</source>
        <translation>Das Entfernungswerkzeug konnte nicht gestartet werden, daher wurde nichts entfernt. Die Systemeinstellungen werden jetzt beendet.</translation>
    </message>
    <message>
        <source>The removal tool was stopped before it finished; parts of Pealix may remain.  System Preferences will now exit.</source>
        <translation>Das Entfernungswerkzeug wurde vor dem Ende angehalten; Teile von Pealix können verblieben sein. Die Systemeinstellungen werden jetzt beendet.</translation>
    </message>
    <message>
        <source>The removal tool is still running after the time allowed for it; it goes on by itself.  System Preferences will now exit.</source>
        <translation>Das Entfernungswerkzeug läuft nach der vorgesehenen Zeit noch; es arbeitet allein weiter. Die Systemeinstellungen werden jetzt beendet.</translation>
    </message>
    <message>
        <source>%1 was not found; it stays excluded where it is installed again</source>
        <translation>%1 wurde nicht gefunden; es bleibt ausgeschlossen, wo es erneut installiert wird</translation>
    </message>
    <message>
        <source>Chimes &amp;on</source>
        <translation>Geläut &amp;an</translation>
    </message>
    <message>
        <source>Chimes on</source>
        <translation>Geläut an</translation>
    </message>
    <message>
        <source>Play the chosen chimes at every quarter hour</source>
        <translation>Das gewählte Geläut zu jeder Viertelstunde spielen</translation>
    </message>
    <message>
        <source>:0&amp;0</source>
        <extracomment>The label of a quarter&apos;s row: its minutes; the mnemonic may move to another digit.</extracomment>
        <translation>:0&amp;0</translation>
    </message>
    <message>
        <source>:&amp;15</source>
        <translation>:&amp;15</translation>
    </message>
    <message>
        <source>:&amp;30</source>
        <translation>:&amp;30</translation>
    </message>
    <message>
        <source>:&amp;45</source>
        <translation>:&amp;45</translation>
    </message>
    <message>
        <source>Play melody</source>
        <translation>Melodie spielen</translation>
    </message>
    <message>
        <source>Play melody at %1</source>
        <translation>Melodie um %1 spielen</translation>
    </message>
    <message>
        <source>Strike the hour</source>
        <extracomment>A check box: after the melody, the bells strike as many times as the hour.</extracomment>
        <translation>Stunde schlagen</translation>
    </message>
    <message>
        <source>Strike the hour at %1</source>
        <translation>Stunde um %1 schlagen</translation>
    </message>
    <message>
        <source>Preview %1</source>
        <extracomment>%1 is a quarter of the hour, written as its minutes: &quot;:15&quot;.</extracomment>
        <translation>Vorschau %1</translation>
    </message>
    <message>
        <source>Play or stop the melody of %1</source>
        <translation>Die Melodie von %1 abspielen oder anhalten</translation>
    </message>
    <message>
        <source>Volume</source>
        <translation>Lautstärke</translation>
    </message>
    <message>
        <source>&amp;Volume:</source>
        <translation>&amp;Lautstärke:</translation>
    </message>
    <message>
        <source>&amp;Chimes</source>
        <extracomment>The page of the chimes of the four quarters; mnemonics must differ from the other pages&apos; names.</extracomment>
        <translation>&amp;Geläut</translation>
    </message>
    <message>
        <source>&amp;Quiet Hours</source>
        <translation>&amp;Ruhezeiten</translation>
    </message>
    <message>
        <source>Show &amp;icon in the panel</source>
        <extracomment>The panel: the bar of the desktop that holds the clock and the icons of running programs.</extracomment>
        <translation>&amp;Symbol in der Leiste anzeigen</translation>
    </message>
    <message>
        <source>Show icon in the panel</source>
        <translation>Symbol in der Leiste anzeigen</translation>
    </message>
    <message>
        <source>This desktop shows no panel icons; right-click Pealix in the application menu to pause</source>
        <translation>Diese Arbeitsumgebung zeigt keine Symbole in der Leiste; klicken Sie zum Pausieren im Anwendungsmenü mit der rechten Maustaste auf Pealix</translation>
    </message>
    <message>
        <source>No panel icons</source>
        <translation>Keine Symbole in der Leiste</translation>
    </message>
    <message>
        <source>Stay silent while these applications run:</source>
        <translation>Stumm bleiben, während diese Anwendungen laufen:</translation>
    </message>
    <message>
        <source>Excluded applications</source>
        <translation>Ausgeschlossene Anwendungen</translation>
    </message>
    <message>
        <source>&amp;Add…</source>
        <translation>&amp;Hinzufügen…</translation>
    </message>
    <message>
        <source>Add application…</source>
        <translation>Anwendung hinzufügen…</translation>
    </message>
    <message>
        <source>Choose an application during which the chimes stay silent</source>
        <translation>Eine Anwendung wählen, während der das Geläut stumm bleibt</translation>
    </message>
    <message>
        <source>&amp;Remove</source>
        <translation>&amp;Entfernen</translation>
    </message>
    <message>
        <source>Remove application</source>
        <translation>Anwendung entfernen</translation>
    </message>
    <message>
        <source>Remove the selected application from the list</source>
        <translation>Die gewählte Anwendung aus der Liste entfernen</translation>
    </message>
    <message>
        <source>O&amp;ptions</source>
        <translation>&amp;Optionen</translation>
    </message>
    <message>
        <source>A clock chime for the desktop: a melody at the quarter hours, and the hour struck on the bells.</source>
        <translation>Ein Uhrgeläut für den Schreibtisch: eine Melodie zu den Viertelstunden und der Stundenschlag auf den Glocken.</translation>
    </message>
    <message>
        <source>Copyright © 2026 The Pealix developers</source>
        <translation>Copyright © 2026 Die Pealix-Entwickler</translation>
    </message>
    <message>
        <source>GNU General Public License, version 3 or later</source>
        <translation>GNU General Public License, Version 3 oder neuer</translation>
    </message>
    <message>
        <source>Show the licence</source>
        <translation>Die Lizenz anzeigen</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Hilfe</translation>
    </message>
    <message>
        <source>Check for &amp;Updates</source>
        <translation>Nach &amp;Aktualisierungen suchen</translation>
    </message>
    <message>
        <source>Check for updates</source>
        <translation>Nach Aktualisierungen suchen</translation>
    </message>
    <message>
        <source>U&amp;ninstall…</source>
        <translation>&amp;Deinstallieren…</translation>
    </message>
    <message>
        <source>Uninstall…</source>
        <translation>Deinstallieren…</translation>
    </message>
    <message>
        <source>A&amp;bout</source>
        <translation>Ü&amp;ber</translation>
    </message>
    <message>
        <source>Also stay silent</source>
        <translation>Außerdem stumm bleiben</translation>
    </message>
    <message>
        <source>While Do Not Disturb is on</source>
        <translation>Während „Nicht stören“ an ist</translation>
    </message>
    <message>
        <source>While the microphone is in use</source>
        <translation>Während das Mikrofon verwendet wird</translation>
    </message>
    <message>
        <source>While a full-screen window is focused</source>
        <translation>Während ein Vollbildfenster den Fokus hat</translation>
    </message>
    <message>
        <source>While the screen is locked</source>
        <translation>Während der Bildschirm gesperrt ist</translation>
    </message>
    <message>
        <source>This Wayland session does not tell applications which window is full-screen</source>
        <translation>Diese Wayland-Sitzung teilt Anwendungen nicht mit, welches Fenster im Vollbild ist</translation>
    </message>
</context>
<context>
    <name>PealixTool</name>
    <message>
        <source>Usage: PealixTool [-u]
Chimes the quarter hours as the Pealix preferences say.

  -u         check for updates, then quit
  --help     show this help and exit
  --version  show the version and exit
</source>
        <translation>Aufruf: PealixTool [-u]
Läutet die Viertelstunden, wie es die Pealix-Einstellungen vorgeben.

  -u         nach Aktualisierungen suchen, dann beenden
  --help     diese Hilfe anzeigen und beenden
  --version  die Version anzeigen und beenden
</translation>
    </message>
</context>
<context>
    <name>Preferences</name>
    <message>
        <source>%1 cannot be opened: %2</source>
        <translation>%1 kann nicht geöffnet werden: %2</translation>
    </message>
    <message>
        <source>%1 is not a file</source>
        <translation>%1 ist keine Datei</translation>
    </message>
    <message>
        <source>another program is using the settings (%1 is locked)</source>
        <translation>ein anderes Programm verwendet die Einstellungen (%1 ist gesperrt)</translation>
    </message>
    <message>
        <source>%1 cannot be locked: %2</source>
        <translation>%1 kann nicht gesperrt werden: %2</translation>
    </message>
    <message>
        <source>the settings have no file</source>
        <translation>die Einstellungen haben keine Datei</translation>
    </message>
    <message>
        <source>the folder %1 cannot be made: %2</source>
        <translation>der Ordner %1 kann nicht angelegt werden: %2</translation>
    </message>
    <message>
        <source>%1 is being written by another program</source>
        <translation>%1 wird gerade von einem anderen Programm geschrieben</translation>
    </message>
    <message>
        <source>%1 cannot be read and cannot be moved aside</source>
        <translation>%1 kann weder gelesen noch beiseitegelegt werden</translation>
    </message>
    <message>
        <source>%1 cannot be read</source>
        <translation>%1 kann nicht gelesen werden</translation>
    </message>
    <message>
        <source>the settings cannot be written as a property list</source>
        <translation>die Einstellungen können nicht als Eigenschaftsliste geschrieben werden</translation>
    </message>
    <message>
        <source>%1 cannot be written: %2</source>
        <translation>%1 kann nicht geschrieben werden: %2</translation>
    </message>
</context>
<context>
    <name>QMessageBox</name>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>QuietHoursPage</name>
    <message>
        <source>Monday</source>
        <translation>Montag</translation>
    </message>
    <message>
        <source>Tuesday</source>
        <translation>Dienstag</translation>
    </message>
    <message>
        <source>Wednesday</source>
        <translation>Mittwoch</translation>
    </message>
    <message>
        <source>Thursday</source>
        <translation>Donnerstag</translation>
    </message>
    <message>
        <source>Friday</source>
        <translation>Freitag</translation>
    </message>
    <message>
        <source>Saturday</source>
        <translation>Samstag</translation>
    </message>
    <message>
        <source>Sunday</source>
        <translation>Sonntag</translation>
    </message>
    <message>
        <source>During these hours the chimes stay silent or play quietly:</source>
        <translation>In diesen Stunden bleibt das Geläut stumm oder spielt leise:</translation>
    </message>
    <message>
        <source>Quiet hours</source>
        <translation>Ruhezeiten</translation>
    </message>
    <message>
        <source>No quiet hours: the chimes sound at every quarter you chose.</source>
        <translation>Keine Ruhezeiten: Das Geläut erklingt zu jeder gewählten Viertelstunde.</translation>
    </message>
    <message>
        <source>A&amp;dd Quiet Hours</source>
        <translation>Ruhezeiten &amp;hinzufügen</translation>
    </message>
    <message>
        <source>Add quiet hours</source>
        <translation>Ruhezeiten hinzufügen</translation>
    </message>
    <message>
        <source>Add a range of hours in which the chimes are quiet</source>
        <translation>Einen Zeitraum hinzufügen, in dem das Geläut ruht</translation>
    </message>
    <message>
        <source>During quiet hours:</source>
        <translation>Während der Ruhezeiten:</translation>
    </message>
    <message>
        <source>&amp;Stay silent</source>
        <translation>&amp;Stumm bleiben</translation>
    </message>
    <message>
        <source>Stay silent during quiet hours</source>
        <translation>Während der Ruhezeiten stumm bleiben</translation>
    </message>
    <message>
        <source>Play quie&amp;tly</source>
        <translation>&amp;Leise spielen</translation>
    </message>
    <message>
        <source>Play quietly during quiet hours</source>
        <translation>Während der Ruhezeiten leise spielen</translation>
    </message>
    <message>
        <source>Quiet volume</source>
        <translation>Leise Lautstärke</translation>
    </message>
    <message>
        <source>The volume of the chimes during quiet hours</source>
        <translation>Die Lautstärke des Geläuts während der Ruhezeiten</translation>
    </message>
    <message>
        <source>Quiet hours %1 %2</source>
        <extracomment>The accessible name of a day&apos;s button in a row of quiet hours: &quot;Quiet hours 1 Monday&quot;</extracomment>
        <translation>Ruhezeiten %1 %2</translation>
    </message>
    <message>
        <source>Quiet hours %1 from</source>
        <translation>Ruhezeiten %1 von</translation>
    </message>
    <message>
        <source>Quiet from</source>
        <translation>Ruhe von</translation>
    </message>
    <message>
        <source>Quiet hours %1 until</source>
        <translation>Ruhezeiten %1 bis</translation>
    </message>
    <message>
        <source>Quiet until; a time not after the start is on the next day</source>
        <translation>Ruhe bis; eine Zeit nicht nach dem Beginn liegt am nächsten Tag</translation>
    </message>
    <message>
        <source>–</source>
        <extracomment>Between the start and the end of quiet hours</extracomment>
        <translation>–</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Entfernen</translation>
    </message>
    <message>
        <source>Remove quiet hours %1</source>
        <translation>Ruhezeiten %1 entfernen</translation>
    </message>
    <message>
        <source>Remove these quiet hours</source>
        <translation>Diese Ruhezeiten entfernen</translation>
    </message>
    <message>
        <source>The first %1 of %2 quiet hours are shown; the others are kept as they are.</source>
        <translation>Die ersten %1 von %2 Ruhezeiten werden angezeigt; die übrigen bleiben, wie sie sind.</translation>
    </message>
</context>
<context>
    <name>StatusMenu</name>
    <message>
        <source>Pause for 1 hour</source>
        <translation>1 Stunde pausieren</translation>
    </message>
    <message>
        <source>Pause for 4 hours</source>
        <translation>4 Stunden pausieren</translation>
    </message>
    <message>
        <source>Suspend chimes temporarily</source>
        <translation>Geläut vorübergehend anhalten</translation>
    </message>
    <message>
        <source>Open Pealix Preferences…</source>
        <translation>Pealix-Einstellungen öffnen…</translation>
    </message>
    <message>
        <source>Quit Pealix</source>
        <translation>Pealix beenden</translation>
    </message>
    <message>
        <source>Resume chimes</source>
        <translation>Geläut fortsetzen</translation>
    </message>
    <message>
        <source>Chimes are currently suspended</source>
        <translation>Das Geläut ist zurzeit angehalten</translation>
    </message>
</context>
<context>
    <name>Updater</name>
    <message>
        <source>The signature library could not start.</source>
        <translation>Die Signaturbibliothek konnte nicht starten.</translation>
    </message>
    <message>
        <source>The update information is too large.</source>
        <translation>Die Aktualisierungsinformationen sind zu groß.</translation>
    </message>
    <message>
        <source>The update information is not signed.</source>
        <translation>Die Aktualisierungsinformationen sind nicht signiert.</translation>
    </message>
    <message>
        <source>The update information has a signature this version does not trust.</source>
        <translation>Die Aktualisierungsinformationen tragen eine Signatur, der diese Version nicht vertraut.</translation>
    </message>
    <message>
        <source>The update information is for another product.</source>
        <translation>Die Aktualisierungsinformationen gelten für ein anderes Produkt.</translation>
    </message>
    <message>
        <source>The update information names no valid version.</source>
        <translation>Die Aktualisierungsinformationen nennen keine gültige Version.</translation>
    </message>
    <message>
        <source>The update information has expired.</source>
        <translation>Die Aktualisierungsinformationen sind abgelaufen.</translation>
    </message>
    <message>
        <source>The update information is incomplete.</source>
        <translation>Die Aktualisierungsinformationen sind unvollständig.</translation>
    </message>
    <message>
        <source>The update information is older than what this computer has seen.</source>
        <translation>Die Aktualisierungsinformationen sind älter als die, die dieser Rechner bereits kennt.</translation>
    </message>
    <message>
        <source>The downloaded update could not be read.</source>
        <translation>Die heruntergeladene Aktualisierung konnte nicht gelesen werden.</translation>
    </message>
    <message>
        <source>The downloaded update is incomplete or too large.</source>
        <translation>Die heruntergeladene Aktualisierung ist unvollständig oder zu groß.</translation>
    </message>
    <message>
        <source>The update was cancelled.</source>
        <translation>Die Aktualisierung wurde abgebrochen.</translation>
    </message>
    <message>
        <source>The downloaded update does not match the update information.</source>
        <translation>Die heruntergeladene Aktualisierung passt nicht zu den Aktualisierungsinformationen.</translation>
    </message>
    <message>
        <source>The downloaded update is not signed by the makers of this version.</source>
        <translation>Die heruntergeladene Aktualisierung ist nicht von den Herstellern dieser Version signiert.</translation>
    </message>
    <message>
        <source>The update could not be unpacked.</source>
        <translation>Die Aktualisierung konnte nicht entpackt werden.</translation>
    </message>
    <message>
        <source>The update archive holds an entry that may not be installed.</source>
        <translation>Das Aktualisierungsarchiv enthält einen Eintrag, der nicht installiert werden darf.</translation>
    </message>
    <message>
        <source>The update archive is too large when unpacked.</source>
        <translation>Das Aktualisierungsarchiv ist entpackt zu groß.</translation>
    </message>
    <message>
        <source>The update could not be unpacked: %1</source>
        <translation>Die Aktualisierung konnte nicht entpackt werden: %1</translation>
    </message>
    <message>
        <source>The update could not be written (is the disk full?).</source>
        <translation>Die Aktualisierung konnte nicht geschrieben werden (ist der Datenträger voll?).</translation>
    </message>
    <message>
        <source>The update archive is damaged.</source>
        <translation>Das Aktualisierungsarchiv ist beschädigt.</translation>
    </message>
    <message>
        <source>The update archive is empty.</source>
        <translation>Das Aktualisierungsarchiv ist leer.</translation>
    </message>
    <message>
        <source>The update holds no preference pane.</source>
        <translation>Die Aktualisierung enthält kein Einstellungsmodul.</translation>
    </message>
    <message>
        <source>The update is for another product.</source>
        <translation>Die Aktualisierung gilt für ein anderes Produkt.</translation>
    </message>
    <message>
        <source>The update&apos;s version is not the one offered.</source>
        <translation>Die Version der Aktualisierung ist nicht die angebotene.</translation>
    </message>
    <message>
        <source>The update is incomplete.</source>
        <translation>Die Aktualisierung ist unvollständig.</translation>
    </message>
    <message>
        <source>The update could not be installed: %1</source>
        <translation>Die Aktualisierung konnte nicht installiert werden: %1</translation>
    </message>
    <message>
        <source>%1 is neither the previous nor the new version</source>
        <translation>%1 ist weder die vorherige noch die neue Version</translation>
    </message>
    <message>
        <source>The update could not be installed.</source>
        <translation>Die Aktualisierung konnte nicht installiert werden.</translation>
    </message>
    <message>
        <source>The update could not be recorded in %1.</source>
        <translation>Die Aktualisierung konnte nicht in %1 vermerkt werden.</translation>
    </message>
    <message>
        <source>the server stopped answering</source>
        <extracomment>Completes &quot;The update could not be downloaded: %1&quot; and the like.</extracomment>
        <translation>der Server antwortet nicht mehr</translation>
    </message>
    <message>
        <source>the server sent it on to an address that is not secure</source>
        <translation>der Server hat an eine unsichere Adresse weitergeleitet</translation>
    </message>
    <message>
        <source>the server sends too slowly</source>
        <translation>der Server sendet zu langsam</translation>
    </message>
    <message>
        <source>the server took too long</source>
        <translation>der Server hat zu lange gebraucht</translation>
    </message>
    <message>
        <source>Checking for updates…</source>
        <translation>Nach Aktualisierungen wird gesucht…</translation>
    </message>
    <message>
        <source>Check for %1 updates automatically?</source>
        <translation>Automatisch nach Aktualisierungen für %1 suchen?</translation>
    </message>
    <message>
        <source>Check Automatically</source>
        <translation>Automatisch suchen</translation>
    </message>
    <message>
        <source>Don&apos;t Check</source>
        <translation>Nicht suchen</translation>
    </message>
    <message>
        <source>Updates Are Turned Off</source>
        <translation>Aktualisierungen sind ausgeschaltet</translation>
    </message>
    <message>
        <source>Updates of %1 are managed by the system on this computer.</source>
        <translation>Aktualisierungen von %1 werden auf diesem Rechner vom System verwaltet.</translation>
    </message>
    <message>
        <source>%1 Updates</source>
        <translation>Aktualisierungen für %1</translation>
    </message>
    <message>
        <source>%1 is updated by your system&apos;s package manager.</source>
        <translation>%1 wird von der Paketverwaltung Ihres Systems aktualisiert.</translation>
    </message>
    <message>
        <source>This copy of %1 is updated by the program that installed it.</source>
        <translation>Diese Installation von %1 wird von dem Programm aktualisiert, das sie installiert hat.</translation>
    </message>
    <message>
        <source>The update address of this build is not a secure one.</source>
        <translation>Die Aktualisierungsadresse dieser Version ist nicht sicher.</translation>
    </message>
    <message>
        <source>the update information is too large</source>
        <translation>die Aktualisierungsinformationen sind zu groß</translation>
    </message>
    <message>
        <source>%1 Update</source>
        <translation>Aktualisierung für %1</translation>
    </message>
    <message>
        <source>The update information could not be fetched: %1</source>
        <translation>Die Aktualisierungsinformationen konnten nicht abgerufen werden: %1</translation>
    </message>
    <message>
        <source>You&apos;re up to date!</source>
        <translation>Sie sind auf dem neuesten Stand!</translation>
    </message>
    <message>
        <source>%2 %1 is the newest version available.</source>
        <extracomment>%2 is the product&apos;s name, %1 its version.</extracomment>
        <translation>%2 %1 ist die neueste verfügbare Version.</translation>
    </message>
    <message>
        <source>A new version of %1 is available!</source>
        <translation>Eine neue Version von %1 ist verfügbar!</translation>
    </message>
    <message>
        <source>%3 %1 is now available; you have %2. Would you like to install it now?</source>
        <extracomment>%3 is the product&apos;s name, %1 the version offered, %2 the version installed.</extracomment>
        <translation>%3 %1 ist jetzt verfügbar; Sie haben %2. Möchten Sie sie jetzt installieren?</translation>
    </message>
    <message>
        <source>Install Update</source>
        <translation>Aktualisierung installieren</translation>
    </message>
    <message>
        <source>Remind Me Later</source>
        <translation>Später erinnern</translation>
    </message>
    <message>
        <source>Skip This Version</source>
        <translation>Diese Version überspringen</translation>
    </message>
    <message>
        <source>%1 is not installed in a place this updater can replace.</source>
        <translation>%1 ist an einem Ort installiert, an dem diese Aktualisierung es nicht ersetzen kann.</translation>
    </message>
    <message>
        <source>Update Under Way</source>
        <translation>Aktualisierung läuft</translation>
    </message>
    <message>
        <source>Another %1 updater is installing an update; try again when it is done.</source>
        <translation>Eine andere Aktualisierung von %1 wird gerade installiert; versuchen Sie es erneut, wenn sie fertig ist.</translation>
    </message>
    <message>
        <source>An earlier update could not be undone: %1</source>
        <translation>Eine frühere Aktualisierung konnte nicht rückgängig gemacht werden: %1</translation>
    </message>
    <message>
        <source>There is no room to download the update beside %1.</source>
        <translation>Neben %1 ist kein Platz, um die Aktualisierung herunterzuladen.</translation>
    </message>
    <message>
        <source>Downloading %2 %1…</source>
        <translation>%2 %1 wird heruntergeladen…</translation>
    </message>
    <message>
        <source>The downloaded update is larger than announced.</source>
        <translation>Die heruntergeladene Aktualisierung ist größer als angekündigt.</translation>
    </message>
    <message>
        <source>The update could not be downloaded: %1</source>
        <translation>Die Aktualisierung konnte nicht heruntergeladen werden: %1</translation>
    </message>
    <message>
        <source>Verifying %2 %1…</source>
        <translation>%2 %1 wird überprüft…</translation>
    </message>
    <message>
        <source>Starting %2 %1…</source>
        <translation>%2 %1 wird gestartet…</translation>
    </message>
    <message>
        <source>%4 %1 did not start, and %2 could not be put back: %3</source>
        <translation>%4 %1 ist nicht gestartet, und %2 konnte nicht wiederhergestellt werden: %3</translation>
    </message>
    <message>
        <source>%3 %1 did not start on this system; %3 %2 stays installed.</source>
        <translation>%3 %1 ist auf diesem System nicht gestartet; %3 %2 bleibt installiert.</translation>
    </message>
    <message>
        <source>%3 %1 is installed, not %2.</source>
        <translation>%3 %1 ist installiert, nicht %2.</translation>
    </message>
    <message>
        <source>Update Error</source>
        <translation>Aktualisierungsfehler</translation>
    </message>
</context>
<context>
    <name>pealix</name>
    <message>
        <source>Usage: pealix COMMAND
Controls the Pealix clock chime of this session.

Commands:
  status [--json]     say whether Pealix chimes, and when it chimes next
  pause [DURATION]    stay silent for DURATION (30m, 1h, 2h30m), or until resumed
  resume              chime again
  chime               play what this quarter plays, now
  next                say when the next chime sounds and what it plays
  preferences         open the Pealix preferences

Options:
  --help              show this help and exit
  --version           show the version and exit
</source>
        <translation>Aufruf: pealix BEFEHL
Steuert das Pealix-Uhrgeläut dieser Sitzung.

Befehle:
  status [--json]     sagen, ob Pealix läutet und wann es als Nächstes läutet
  pause [DAUER]       für DAUER (30m, 1h, 2h30m) stumm bleiben, oder bis zur Fortsetzung
  resume              wieder läuten
  chime               jetzt spielen, was diese Viertelstunde spielt
  next                sagen, wann das nächste Läuten erklingt und was es spielt
  preferences         die Pealix-Einstellungen öffnen

Optionen:
  --help              diese Hilfe anzeigen und beenden
  --version           die Version anzeigen und beenden
</translation>
    </message>
    <message>
        <source>Pealix is not running. Turn chimes on in its preferences.</source>
        <translation>Pealix läuft nicht. Schalten Sie das Geläut in den Einstellungen ein.</translation>
    </message>
    <message>
        <source>Cannot start %1.</source>
        <translation>%1 kann nicht gestartet werden.</translation>
    </message>
    <message>
        <source>&quot;status&quot; takes only --json.</source>
        <translation>„status“ nimmt nur --json an.</translation>
    </message>
    <message>
        <source>&quot;pause&quot; takes one duration at most.</source>
        <translation>„pause“ nimmt höchstens eine Dauer an.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; takes no arguments.</source>
        <translation>„%1“ nimmt keine Argumente an.</translation>
    </message>
    <message>
        <source>Unknown command &quot;%1&quot;.</source>
        <translation>Unbekannter Befehl „%1“.</translation>
    </message>
    <message>
        <source>No chime is due: %1</source>
        <translation>Kein Läuten steht an: %1</translation>
    </message>
    <message>
        <source>Next: %1</source>
        <translation>Als Nächstes: %1</translation>
    </message>
    <message numerus="yes">
        <source>Pealix did not answer within %n seconds.</source>
        <translation>
            <numerusform>Pealix hat nicht innerhalb von %n Sekunde geantwortet.</numerusform>
            <numerusform>Pealix hat nicht innerhalb von %n Sekunden geantwortet.</numerusform>
        </translation>
    </message>
</context>
</TS>
