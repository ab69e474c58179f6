<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr" sourcelanguage="en">
<context>
    <name>ApplicationChooser</name>
    <message>
        <source>Add Application</source>
        <translation>Ajouter une application</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>Rechercher</translation>
    </message>
    <message>
        <source>Search applications</source>
        <translation>Rechercher des applications</translation>
    </message>
    <message>
        <source>Applications</source>
        <translation>Applications</translation>
    </message>
    <message>
        <source>&amp;Other…</source>
        <translation>A&amp;utre…</translation>
    </message>
    <message>
        <source>Other…</source>
        <translation>Autre…</translation>
    </message>
    <message>
        <source>Choose an application file that is not listed</source>
        <translation>Choisir un fichier d’application qui n’est pas dans la liste</translation>
    </message>
    <message>
        <source>&amp;Add</source>
        <translation>A&amp;jouter</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Ajouter</translation>
    </message>
</context>
<context>
    <name>ChimeSets</name>
    <message>
        <source>Custom...</source>
        <extracomment>The last entry of each quarter&apos;s list of chime sets; it asks for a sound file of one&apos;s own.</extracomment>
        <translation>Personnalisé…</translation>
    </message>
    <message>
        <source>Chimes</source>
        <extracomment>A chime set: the bells of a chiming clock.</extracomment>
        <translation>Carillon d’horloge</translation>
    </message>
    <message>
        <source>Cathedral</source>
        <extracomment>A chime set: the large bells of a cathedral.</extracomment>
        <translation>Cathédrale</translation>
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
        <translation>Indiquez une durée en heures et minutes, par exemple 30m, 1h ou 2h30m.</translation>
    </message>
    <message>
        <source>The duration is empty.</source>
        <translation>La durée est vide.</translation>
    </message>
    <message>
        <source>The duration is too long.</source>
        <translation>La durée est trop longue.</translation>
    </message>
    <message>
        <source>A pause lasts at most 7 days; without a duration it lasts until you resume.</source>
        <translation>Une pause dure au plus 7 jours&#xa0;; sans durée, elle dure jusqu’à la reprise.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a duration.</source>
        <translation>«&#xa0;%1&#xa0;» n’est pas une durée.</translation>
    </message>
    <message>
        <source>A pause of no time does nothing.</source>
        <translation>Une pause sans durée ne fait rien.</translation>
    </message>
</context>
<context>
    <name>ExcludedApplications</name>
    <message>
        <source>Unknown application</source>
        <translation>Application inconnue</translation>
    </message>
    <message>
        <source>Choose an Application</source>
        <translation>Choisir une application</translation>
    </message>
</context>
<context>
    <name>HelpPanel</name>
    <message>
        <source>Pealix Help</source>
        <translation>Aide de Pealix</translation>
    </message>
    <message>
        <source>Version</source>
        <translation>Version</translation>
    </message>
    <message>
        <source>Close help</source>
        <translation>Fermer l’aide</translation>
    </message>
    <message>
        <source>&lt;p&gt;Pealix chimes the quarter hours. At each quarter you turn on it plays the melody of the chime set you chose for it, or a sound file of your own, and, where you ask for it, strikes the hour after the melody.&lt;/p&gt;&lt;p&gt;&lt;b&gt;Chimes&lt;/b&gt;: &lt;i&gt;Chimes on&lt;/i&gt; starts Pealix now and at every login, and stops it when turned off. For each quarter, :00, :15, :30 and :45, choose a chime set in its list, or &lt;i&gt;Custom...&lt;/i&gt; to pick a sound file; &lt;i&gt;Play melody&lt;/i&gt; and &lt;i&gt;Strike the hour&lt;/i&gt; turn the melody and the hour strikes on or off; &lt;i&gt;Preview&lt;/i&gt; plays or stops the sound; &lt;i&gt;Volume&lt;/i&gt; sets the volume of every chime. The line below it says when the next chime sounds.&lt;/p&gt;&lt;p&gt;&lt;b&gt;Quiet Hours&lt;/b&gt;: during quiet hours the chimes stay silent, or play quietly. &lt;i&gt;Add quiet hours&lt;/i&gt; adds a range of hours; in each row choose its days and its times, or remove it. A range whose end is not after its start runs past midnight, and a start equal to the end is the whole day. Choose &lt;i&gt;Stay silent during quiet hours&lt;/i&gt;, or &lt;i&gt;Play quietly during quiet hours&lt;/i&gt; at the &lt;i&gt;Quiet volume&lt;/i&gt;.&lt;/p&gt;&lt;p&gt;&lt;b&gt;Options&lt;/b&gt;: &lt;i&gt;Show icon in the panel&lt;/i&gt; puts an icon in the panel, from which you can silence the chimes for a while. Pealix stays silent while an application of the list &lt;i&gt;Excluded applications&lt;/i&gt; runs: &lt;i&gt;Add application…&lt;/i&gt; adds one, &lt;i&gt;Remove application&lt;/i&gt; removes the selected one. It also stays silent &lt;i&gt;While Do Not Disturb is on&lt;/i&gt;, &lt;i&gt;While the microphone is in use&lt;/i&gt;, &lt;i&gt;While a full-screen window is focused&lt;/i&gt; or &lt;i&gt;While the screen is locked&lt;/i&gt;, each where its box is ticked.&lt;/p&gt;&lt;p&gt;&lt;b&gt;About&lt;/b&gt;: &lt;i&gt;Help&lt;/i&gt; shows this text; &lt;i&gt;Check for updates&lt;/i&gt; looks for a newer version; &lt;i&gt;Uninstall…&lt;/i&gt; removes Pealix.&lt;/p&gt;&lt;p&gt;The settings are kept in %1.&lt;/p&gt;</source>
        <translation>&lt;p&gt;Pealix sonne les quarts d’heure. À chaque quart d’heure activé, il joue la mélodie du jeu de cloches choisi pour lui, ou un fichier audio de votre choix, et, si vous le demandez, sonne l’heure après la mélodie.&lt;/p&gt;&lt;p&gt;&lt;b&gt;Carillons&lt;/b&gt;&#xa0;: &lt;i&gt;Carillons activés&lt;/i&gt; lance Pealix maintenant et à chaque connexion, et l’arrête quand vous le désactivez. Pour chaque quart d’heure, :00, :15, :30 et :45, choisissez un jeu de cloches dans sa liste, ou &lt;i&gt;Personnalisé…&lt;/i&gt; pour choisir un fichier audio&#xa0;; &lt;i&gt;Jouer la mélodie&lt;/i&gt; et &lt;i&gt;Sonner l’heure&lt;/i&gt; activent ou désactivent la mélodie et les coups de l’heure&#xa0;; &lt;i&gt;Écouter&lt;/i&gt; joue ou arrête le son&#xa0;; &lt;i&gt;Volume&lt;/i&gt; règle le volume de chaque carillon. La ligne en dessous indique quand sonne le prochain carillon.&lt;/p&gt;&lt;p&gt;&lt;b&gt;Heures calmes&lt;/b&gt;&#xa0;: pendant les heures calmes, les carillons restent silencieux ou jouent doucement. &lt;i&gt;Ajouter des heures calmes&lt;/i&gt; ajoute une plage horaire&#xa0;; dans chaque ligne, choisissez ses jours et ses heures, ou retirez-la. Une plage dont la fin ne suit pas le début passe minuit, et un début égal à la fin couvre toute la journée. Choisissez &lt;i&gt;Rester silencieux pendant les heures calmes&lt;/i&gt;, ou &lt;i&gt;Jouer doucement pendant les heures calmes&lt;/i&gt; au &lt;i&gt;Volume calme&lt;/i&gt;.&lt;/p&gt;&lt;p&gt;&lt;b&gt;Options&lt;/b&gt;&#xa0;: &lt;i&gt;Afficher l’icône dans le tableau de bord&lt;/i&gt; place une icône dans le tableau de bord, d’où vous pouvez faire taire les carillons un moment. Pealix reste silencieux pendant l’exécution d’une application de la liste &lt;i&gt;Applications exclues&lt;/i&gt;&#xa0;: &lt;i&gt;Ajouter une application…&lt;/i&gt; en ajoute une, &lt;i&gt;Retirer l’application&lt;/i&gt; retire celle qui est sélectionnée. Il reste aussi silencieux dans les cas dont la case est cochée&#xa0;: &lt;i&gt;Quand «&#xa0;Ne pas déranger&#xa0;» est activé&lt;/i&gt;, &lt;i&gt;Quand le microphone est utilisé&lt;/i&gt;, &lt;i&gt;Quand une fenêtre plein écran a le focus&lt;/i&gt; ou &lt;i&gt;Quand l’écran est verrouillé&lt;/i&gt;.&lt;/p&gt;&lt;p&gt;&lt;b&gt;À propos&lt;/b&gt;&#xa0;: &lt;i&gt;Aide&lt;/i&gt; affiche ce texte&#xa0;; &lt;i&gt;Rechercher des mises à jour&lt;/i&gt; cherche une version plus récente&#xa0;; &lt;i&gt;Désinstaller…&lt;/i&gt; supprime Pealix.&lt;/p&gt;&lt;p&gt;Les réglages sont conservés dans %1.&lt;/p&gt;</translation>
    </message>
</context>
<context>
    <name>LogindSleepMonitor</name>
    <message>
        <source>Silencing chimes before sleep</source>
        <extracomment>Why the program delays the computer&apos;s sleep, as the system&apos;s list of such locks shows it.</extracomment>
        <translation>Mise en silence des carillons avant la mise en veille</translation>
    </message>
</context>
<context>
    <name>NextChime</name>
    <message>
        <source>%1 (quiet until then)</source>
        <extracomment>When the next chime sounds, after quiet hours that silence the ones before it</extracomment>
        <translation>%1 (heures calmes jusque-là)</translation>
    </message>
    <message>
        <source>%1, melody and strikes</source>
        <translation>%1, mélodie et coups de l’heure</translation>
    </message>
    <message>
        <source>%1, melody</source>
        <translation>%1, mélodie</translation>
    </message>
    <message>
        <source>%1, strikes</source>
        <translation>%1, coups de l’heure</translation>
    </message>
    <message>
        <source>%1, quietly</source>
        <extracomment>The next chime plays at the quiet volume of quiet hours</extracomment>
        <translation>%1, doucement</translation>
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
        <translation>Les carillons sont désactivés</translation>
    </message>
    <message>
        <source>No chimes scheduled</source>
        <translation>Aucun carillon prévu</translation>
    </message>
    <message>
        <source>Next: %1 (quiet until then)</source>
        <extracomment>%1 is a time, after quiet hours that silence the chimes before it</extracomment>
        <translation>Prochain&#xa0;: %1 (heures calmes jusque-là)</translation>
    </message>
    <message>
        <source>melody and strikes</source>
        <extracomment>What the next chime plays, after its time in &quot;Next: %1, %2&quot;</extracomment>
        <translation>mélodie et coups de l’heure</translation>
    </message>
    <message>
        <source>melody</source>
        <translation>mélodie</translation>
    </message>
    <message>
        <source>strikes</source>
        <translation>coups de l’heure</translation>
    </message>
    <message>
        <source>Next: %1, %2, quietly</source>
        <translation>Prochain&#xa0;: %1, %2, doucement</translation>
    </message>
    <message>
        <source>Next: %1, %2</source>
        <translation>Prochain&#xa0;: %1, %2</translation>
    </message>
</context>
<context>
    <name>PaneHost</name>
    <message>
        <source>Preferences</source>
        <extracomment>The window&apos;s title while it shows no pane: the desktop&apos;s preferences.</extracomment>
        <translation>Préférences</translation>
    </message>
    <message>
        <source>Preference panes</source>
        <translation>Modules de préférences</translation>
    </message>
    <message>
        <source>The pane “%1” failed to load its view: %2</source>
        <translation>Le module «&#xa0;%1&#xa0;» n’a pas pu charger sa vue&#xa0;: %2</translation>
    </message>
    <message>
        <source>The pane “%1” failed to load its view.</source>
        <translation>Le module «&#xa0;%1&#xa0;» n’a pas pu charger sa vue.</translation>
    </message>
    <message>
        <source>The pane “%1” has no view to show.</source>
        <translation>Le module «&#xa0;%1&#xa0;» n’a aucune vue à afficher.</translation>
    </message>
    <message>
        <source>No preference panes are installed.</source>
        <translation>Aucun module de préférences n’est installé.</translation>
    </message>
    <message>
        <source>There is no preference pane at “%1”.</source>
        <translation>Il n’y a pas de module de préférences à «&#xa0;%1&#xa0;».</translation>
    </message>
    <message>
        <source>The pane “%1” names no principal class in its Info.plist.</source>
        <translation>Le module «&#xa0;%1&#xa0;» ne nomme aucune classe principale dans son Info.plist.</translation>
    </message>
    <message>
        <source>The pane “%1” names an invalid library.</source>
        <translation>Le module «&#xa0;%1&#xa0;» nomme une bibliothèque non valide.</translation>
    </message>
    <message>
        <source>The pane “%1” has no library (%2 is missing).</source>
        <translation>Le module «&#xa0;%1&#xa0;» n’a pas de bibliothèque (%2 est absent).</translation>
    </message>
    <message>
        <source>The library of the pane “%1” cannot be loaded: %2</source>
        <translation>La bibliothèque du module «&#xa0;%1&#xa0;» ne peut pas être chargée&#xa0;: %2</translation>
    </message>
    <message>
        <source>The library of the pane “%1” is not a preference pane.</source>
        <translation>La bibliothèque du module «&#xa0;%1&#xa0;» n’est pas un module de préférences.</translation>
    </message>
    <message>
        <source>The pane “%1” was built for interface version %2; this host needs %3.</source>
        <translation>Le module «&#xa0;%1&#xa0;» a été compilé pour la version d’interface %2&#xa0;; ce programme requiert la %3.</translation>
    </message>
    <message>
        <source>The pane “%1” failed to start: %2</source>
        <translation>Le module «&#xa0;%1&#xa0;» n’a pas pu démarrer&#xa0;: %2</translation>
    </message>
    <message>
        <source>The pane “%1” failed to start.</source>
        <translation>Le module «&#xa0;%1&#xa0;» n’a pas pu démarrer.</translation>
    </message>
    <message>
        <source>The library of the pane “%1” has no class “%2”.</source>
        <translation>La bibliothèque du module «&#xa0;%1&#xa0;» n’a pas de classe «&#xa0;%2&#xa0;».</translation>
    </message>
    <message>
        <source>usage: pealix-panehost [PANE.prefPane]
</source>
        <translation>usage&#xa0;: pealix-panehost [MODULE.prefPane]
</translation>
    </message>
</context>
<context>
    <name>PealixController</name>
    <message>
        <source>Chime at %1:%2</source>
        <extracomment>The sound stream&apos;s name in the sound settings&apos; list of what plays; %1:%2 is the hour and minute.</extracomment>
        <translation>Carillon à %1:%2</translation>
    </message>
    <message>
        <source>Suspended until resumed.</source>
        <translation>Suspendu jusqu’à la reprise.</translation>
    </message>
    <message>
        <source>Chimes are turned off in the preferences.</source>
        <translation>Les carillons sont désactivés dans les préférences.</translation>
    </message>
    <message>
        <source>Paused until %1.</source>
        <translation>En pause jusqu’à %1.</translation>
    </message>
    <message>
        <source>Chimes are paused until %1</source>
        <translation>Les carillons sont en pause jusqu’à %1</translation>
    </message>
    <message>
        <source>Silent: an excluded application is running.</source>
        <translation>Silencieux&#xa0;: une application exclue est en cours d’exécution.</translation>
    </message>
    <message>
        <source>Quiet until %1.</source>
        <translation>Heures calmes jusqu’à %1.</translation>
    </message>
    <message>
        <source>Quiet all week.</source>
        <translation>Heures calmes toute la semaine.</translation>
    </message>
    <message>
        <source>Quiet until %1</source>
        <translation>Heures calmes jusqu’à %1</translation>
    </message>
    <message>
        <source>Chiming. Next chime at %1.</source>
        <translation>Carillons actifs. Prochain carillon à %1.</translation>
    </message>
    <message>
        <source>Chiming. No chime is scheduled.</source>
        <translation>Carillons actifs. Aucun carillon n’est prévu.</translation>
    </message>
    <message>
        <source>Next chime at %1</source>
        <translation>Prochain carillon à %1</translation>
    </message>
    <message>
        <source>Silent: Do Not Disturb is on</source>
        <translation>Silencieux&#xa0;: «&#xa0;Ne pas déranger&#xa0;» est activé</translation>
    </message>
    <message>
        <source>Silent: the microphone is in use</source>
        <translation>Silencieux&#xa0;: le microphone est utilisé</translation>
    </message>
    <message>
        <source>Silent: the screen is locked</source>
        <translation>Silencieux&#xa0;: l’écran est verrouillé</translation>
    </message>
    <message>
        <source>Silent: a full-screen window is focused</source>
        <translation>Silencieux&#xa0;: une fenêtre plein écran a le focus</translation>
    </message>
</context>
<context>
    <name>PealixPref</name>
    <message>
        <source>Changes not saved</source>
        <translation>Modifications non enregistrées</translation>
    </message>
    <message>
        <source>Retr&amp;y</source>
        <translation>&amp;Réessayer</translation>
    </message>
    <message>
        <source>Retry</source>
        <translation>Réessayer</translation>
    </message>
    <message>
        <source>Your changes are not saved yet: %1. Pealix keeps trying.</source>
        <translation>Vos modifications ne sont pas encore enregistrées&#xa0;: %1. Pealix continue d’essayer.</translation>
    </message>
    <message>
        <source>Choose a Sound</source>
        <translation>Choisir un son</translation>
    </message>
    <message>
        <source>Sound files (%1)</source>
        <translation>Fichiers audio (%1)</translation>
    </message>
    <message>
        <source>Removing Pealix</source>
        <translation>Suppression de Pealix</translation>
    </message>
    <message>
        <source>Pealix was installed by your system&apos;s package manager, which removes it too.  To remove it, run this command in a terminal:

sudo apt remove pealix</source>
        <translation>Pealix a été installé par le gestionnaire de paquets de votre système, qui le supprime aussi. Pour le supprimer, lancez cette commande dans un terminal&#xa0;:

sudo apt remove pealix</translation>
    </message>
    <message>
        <source>Are you sure you want to uninstall Pealix?  This cannot be undone.</source>
        <translation>Voulez-vous vraiment désinstaller Pealix&#xa0;? Cette action est irréversible.</translation>
    </message>
    <message>
        <source>Uninstall</source>
        <translation>Désinstaller</translation>
    </message>
    <message>
        <source>No, just checking</source>
        <translation>Non, je vérifiais seulement</translation>
    </message>
    <message>
        <source>Pealix and associated files will be moved to the trash</source>
        <translation>Pealix et les fichiers associés vont être mis à la corbeille</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Pealix cannot be removed because its removal tool is missing.</source>
        <translation>Pealix ne peut pas être supprimé, car son outil de suppression est absent.</translation>
    </message>
    <message>
        <source>Your copy of Pealix cannot be removed without administrator permission.  Please enter your administrator password in the authorization window when it appears</source>
        <translation>Votre copie de Pealix ne peut pas être supprimée sans l’autorisation de l’administrateur. Veuillez saisir votre mot de passe d’administrateur dans la fenêtre d’authentification lorsqu’elle apparaîtra</translation>
    </message>
    <message>
        <source>Pealix cannot be removed because polkit does not know its removal action &quot;%1&quot;: the file %1.policy is missing from /usr/share/polkit-1/actions.  Install Pealix again, or ask your administrator to remove it.</source>
        <translation>Pealix ne peut pas être supprimé, car polkit ne connaît pas son action de suppression «&#xa0;%1&#xa0;»&#xa0;: le fichier %1.policy est absent de /usr/share/polkit-1/actions. Réinstallez Pealix, ou demandez à votre administrateur de le supprimer.</translation>
    </message>
    <message>
        <source>Pealix cannot be removed because pkexec, which runs its removal tool with administrator permission, is not installed.  Install the package pkexec (polkit) and try again, or ask your administrator to remove Pealix.</source>
        <translation>Pealix ne peut pas être supprimé, car pkexec, qui lance son outil de suppression avec l’autorisation de l’administrateur, n’est pas installé. Installez le paquet pkexec (polkit) et réessayez, ou demandez à votre administrateur de supprimer Pealix.</translation>
    </message>
    <message>
        <source>Pealix cannot be removed because polkit, which asks for the administrator password, did not answer.  Check that the polkit service runs and try again.</source>
        <translation>Pealix ne peut pas être supprimé, car polkit, qui demande le mot de passe d’administrateur, n’a pas répondu. Vérifiez que le service polkit fonctionne et réessayez.</translation>
    </message>
    <message>
        <source>Remove Pealix cancelled</source>
        <translation>Suppression de Pealix annulée</translation>
    </message>
    <message>
        <source>Uninstall was cancelled because you did not enter an administrator password</source>
        <translation>La désinstallation a été annulée, car vous n’avez pas saisi de mot de passe d’administrateur</translation>
    </message>
    <message>
        <source>Pealix has been removed.  System Preferences will now exit.</source>
        <translation>Pealix a été supprimé. Les Préférences Système vont maintenant se fermer.</translation>
    </message>
    <message>
        <source>Parts of Pealix could not be moved to the trash.  System Preferences will now exit.</source>
        <translation>Des parties de Pealix n’ont pas pu être mises à la corbeille. Les Préférences Système vont maintenant se fermer.</translation>
    </message>
    <message>
        <source>The removal tool could not be started, so nothing was removed.  System Preferences will now exit.</source>
        <translation>L’outil de suppression n’a pas pu être lancé, rien n’a donc été supprimé. Les Préférences Système vont maintenant se fermer.</translation>
    </message>
    <message>
        <source>The removal tool was stopped before it finished; parts of Pealix may remain.  System Preferences will now exit.</source>
        <translation>L’outil de suppression a été arrêté avant la fin&#xa0;; des parties de Pealix peuvent subsister. Les Préférences Système vont maintenant se fermer.</translation>
    </message>
    <message>
        <source>The removal tool is still running after the time allowed for it; it goes on by itself.  System Preferences will now exit.</source>
        <translation>L’outil de suppression fonctionne encore après le temps prévu&#xa0;; il continue seul. Les Préférences Système vont maintenant se fermer.</translation>
    </message>
    <message>
        <source>%1 was not found; it stays excluded where it is installed again</source>
        <translation>%1 est introuvable&#xa0;; l’application reste exclue là où elle sera réinstallée</translation>
    </message>
    <message>
        <source>Chimes &amp;on</source>
        <translation>Carillons &amp;activés</translation>
    </message>
    <message>
        <source>Chimes on</source>
        <translation>Carillons activés</translation>
    </message>
    <message>
        <source>Play the chosen chimes at every quarter hour</source>
        <translation>Jouer les carillons choisis à chaque quart d’heure</translation>
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
        <translation>Jouer la mélodie</translation>
    </message>
    <message>
        <source>Play melody at %1</source>
        <translation>Jouer la mélodie à %1</translation>
    </message>
    <message>
        <source>Strike the hour</source>
        <extracomment>A check box: after the melody, the bells strike as many times as the hour.</extracomment>
        <translation>Sonner l’heure</translation>
    </message>
    <message>
        <source>Strike the hour at %1</source>
        <translation>Sonner l’heure à %1</translation>
    </message>
    <message>
        <source>Preview %1</source>
        <extracomment>%1 is a quarter of the hour, written as its minutes: &quot;:15&quot;.</extracomment>
        <translation>Écouter %1</translation>
    </message>
    <message>
        <source>Play or stop the melody of %1</source>
        <translation>Jouer ou arrêter la mélodie de %1</translation>
    </message>
    <message>
        <source>Volume</source>
        <translation>Volume</translation>
    </message>
    <message>
        <source>&amp;Volume:</source>
        <translation>&amp;Volume&#xa0;:</translation>
    </message>
    <message>
        <source>&amp;Chimes</source>
        <extracomment>The page of the chimes of the four quarters; mnemonics must differ from the other pages&apos; names.</extracomment>
        <translation>&amp;Carillons</translation>
    </message>
    <message>
        <source>&amp;Quiet Hours</source>
        <translation>&amp;Heures calmes</translation>
    </message>
    <message>
        <source>Show &amp;icon in the panel</source>
        <extracomment>The panel: the bar of the desktop that holds the clock and the icons of running programs.</extracomment>
        <translation>Afficher l’&amp;icône dans le tableau de bord</translation>
    </message>
    <message>
        <source>Show icon in the panel</source>
        <translation>Afficher l’icône dans le tableau de bord</translation>
    </message>
    <message>
        <source>This desktop shows no panel icons; right-click Pealix in the application menu to pause</source>
        <translation>Ce bureau n’affiche pas d’icônes dans le tableau de bord&#xa0;; faites un clic droit sur Pealix dans le menu des applications pour le mettre en pause</translation>
    </message>
    <message>
        <source>No panel icons</source>
        <translation>Pas d’icônes dans le tableau de bord</translation>
    </message>
    <message>
        <source>Stay silent while these applications run:</source>
        <translation>Rester silencieux pendant l’exécution de ces applications&#xa0;:</translation>
    </message>
    <message>
        <source>Excluded applications</source>
        <translation>Applications exclues</translation>
    </message>
    <message>
        <source>&amp;Add…</source>
        <translation>&amp;Ajouter…</translation>
    </message>
    <message>
        <source>Add application…</source>
        <translation>Ajouter une application…</translation>
    </message>
    <message>
        <source>Choose an application during which the chimes stay silent</source>
        <translation>Choisir une application pendant laquelle les carillons restent silencieux</translation>
    </message>
    <message>
        <source>&amp;Remove</source>
        <translation>Re&amp;tirer</translation>
    </message>
    <message>
        <source>Remove application</source>
        <translation>Retirer l’application</translation>
    </message>
    <message>
        <source>Remove the selected application from the list</source>
        <translation>Retirer de la liste l’application sélectionnée</translation>
    </message>
    <message>
        <source>O&amp;ptions</source>
        <translation>&amp;Options</translation>
    </message>
    <message>
        <source>A clock chime for the desktop: a melody at the quarter hours, and the hour struck on the bells.</source>
        <translation>Un carillon d’horloge pour le bureau&#xa0;: une mélodie aux quarts d’heure, et l’heure sonnée sur les cloches.</translation>
    </message>
    <message>
        <source>Copyright © 2026 The Pealix developers</source>
        <translation>Copyright © 2026 Les développeurs de Pealix</translation>
    </message>
    <message>
        <source>GNU General Public License, version 3 or later</source>
        <translation>Licence publique générale GNU, version 3 ou ultérieure</translation>
    </message>
    <message>
        <source>Show the licence</source>
        <translation>Afficher la licence</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Aide</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Aide</translation>
    </message>
    <message>
        <source>Check for &amp;Updates</source>
        <translation>Rechercher des &amp;mises à jour</translation>
    </message>
    <message>
        <source>Check for updates</source>
        <translation>Rechercher des mises à jour</translation>
    </message>
    <message>
        <source>U&amp;ninstall…</source>
        <translation>&amp;Désinstaller…</translation>
    </message>
    <message>
        <source>Uninstall…</source>
        <translation>Désinstaller…</translation>
    </message>
    <message>
        <source>A&amp;bout</source>
        <translation>À &amp;propos</translation>
    </message>
    <message>
        <source>Also stay silent</source>
        <translation>Rester aussi silencieux</translation>
    </message>
    <message>
        <source>While Do Not Disturb is on</source>
        <translation>Quand «&#xa0;Ne pas déranger&#xa0;» est activé</translation>
    </message>
    <message>
        <source>While the microphone is in use</source>
        <translation>Quand le microphone est utilisé</translation>
    </message>
    <message>
        <source>While a full-screen window is focused</source>
        <translation>Quand une fenêtre plein écran a le focus</translation>
    </message>
    <message>
        <source>While the screen is locked</source>
        <translation>Quand l’écran est verrouillé</translation>
    </message>
    <message>
        <source>This Wayland session does not tell applications which window is full-screen</source>
        <translation>Cette session Wayland n’indique pas aux applications quelle fenêtre est en plein écran</translation>
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
        <translation>Usage&#xa0;: PealixTool [-u]
Sonne les quarts d’heure comme le disent les préférences de Pealix.

  -u         rechercher des mises à jour, puis quitter
  --help     afficher cette aide et quitter
  --version  afficher la version et quitter
</translation>
    </message>
</context>
<context>
    <name>Preferences</name>
    <message>
        <source>%1 cannot be opened: %2</source>
        <translation>%1 ne peut pas être ouvert&#xa0;: %2</translation>
    </message>
    <message>
        <source>%1 is not a file</source>
        <translation>%1 n’est pas un fichier</translation>
    </message>
    <message>
        <source>another program is using the settings (%1 is locked)</source>
        <translation>un autre programme utilise les réglages (%1 est verrouillé)</translation>
    </message>
    <message>
        <source>%1 cannot be locked: %2</source>
        <translation>%1 ne peut pas être verrouillé&#xa0;: %2</translation>
    </message>
    <message>
        <source>the settings have no file</source>
        <translation>les réglages n’ont pas de fichier</translation>
    </message>
    <message>
        <source>the folder %1 cannot be made: %2</source>
        <translation>le dossier %1 ne peut pas être créé&#xa0;: %2</translation>
    </message>
    <message>
        <source>%1 is being written by another program</source>
        <translation>%1 est en cours d’écriture par un autre programme</translation>
    </message>
    <message>
        <source>%1 cannot be read and cannot be moved aside</source>
        <translation>%1 ne peut être ni lu ni mis de côté</translation>
    </message>
    <message>
        <source>%1 cannot be read</source>
        <translation>%1 ne peut pas être lu</translation>
    </message>
    <message>
        <source>the settings cannot be written as a property list</source>
        <translation>les réglages ne peuvent pas être écrits sous forme de liste de propriétés</translation>
    </message>
    <message>
        <source>%1 cannot be written: %2</source>
        <translation>%1 ne peut pas être écrit&#xa0;: %2</translation>
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
        <translation>lundi</translation>
    </message>
    <message>
        <source>Tuesday</source>
        <translation>mardi</translation>
    </message>
    <message>
        <source>Wednesday</source>
        <translation>mercredi</translation>
    </message>
    <message>
        <source>Thursday</source>
        <translation>jeudi</translation>
    </message>
    <message>
        <source>Friday</source>
        <translation>vendredi</translation>
    </message>
    <message>
        <source>Saturday</source>
        <translation>samedi</translation>
    </message>
    <message>
        <source>Sunday</source>
        <translation>dimanche</translation>
    </message>
    <message>
        <source>During these hours the chimes stay silent or play quietly:</source>
        <translation>Pendant ces heures, les carillons restent silencieux ou jouent doucement&#xa0;:</translation>
    </message>
    <message>
        <source>Quiet hours</source>
        <translation>Heures calmes</translation>
    </message>
    <message>
        <source>No quiet hours: the chimes sound at every quarter you chose.</source>
        <translation>Aucune heure calme&#xa0;: les carillons sonnent à chaque quart d’heure choisi.</translation>
    </message>
    <message>
        <source>A&amp;dd Quiet Hours</source>
        <translation>A&amp;jouter des heures calmes</translation>
    </message>
    <message>
        <source>Add quiet hours</source>
        <translation>Ajouter des heures calmes</translation>
    </message>
    <message>
        <source>Add a range of hours in which the chimes are quiet</source>
        <translation>Ajouter une plage horaire pendant laquelle les carillons sont calmes</translation>
    </message>
    <message>
        <source>During quiet hours:</source>
        <translation>Pendant les heures calmes&#xa0;:</translation>
    </message>
    <message>
        <source>&amp;Stay silent</source>
        <translation>Rester &amp;silencieux</translation>
    </message>
    <message>
        <source>Stay silent during quiet hours</source>
        <translation>Rester silencieux pendant les heures calmes</translation>
    </message>
    <message>
        <source>Play quie&amp;tly</source>
        <translation>Jouer &amp;doucement</translation>
    </message>
    <message>
        <source>Play quietly during quiet hours</source>
        <translation>Jouer doucement pendant les heures calmes</translation>
    </message>
    <message>
        <source>Quiet volume</source>
        <translation>Volume calme</translation>
    </message>
    <message>
        <source>The volume of the chimes during quiet hours</source>
        <translation>Le volume des carillons pendant les heures calmes</translation>
    </message>
    <message>
        <source>Quiet hours %1 %2</source>
        <extracomment>The accessible name of a day&apos;s button in a row of quiet hours: &quot;Quiet hours 1 Monday&quot;</extracomment>
        <translation>Heures calmes %1 %2</translation>
    </message>
    <message>
        <source>Quiet hours %1 from</source>
        <translation>Heures calmes %1 de</translation>
    </message>
    <message>
        <source>Quiet from</source>
        <translation>Calme de</translation>
    </message>
    <message>
        <source>Quiet hours %1 until</source>
        <translation>Heures calmes %1 jusqu’à</translation>
    </message>
    <message>
        <source>Quiet until; a time not after the start is on the next day</source>
        <translation>Calme jusqu’à&#xa0;; une heure qui ne suit pas le début tombe le lendemain</translation>
    </message>
    <message>
        <source>–</source>
        <extracomment>Between the start and the end of quiet hours</extracomment>
        <translation>–</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Retirer</translation>
    </message>
    <message>
        <source>Remove quiet hours %1</source>
        <translation>Retirer les heures calmes %1</translation>
    </message>
    <message>
        <source>Remove these quiet hours</source>
        <translation>Retirer ces heures calmes</translation>
    </message>
    <message>
        <source>The first %1 of %2 quiet hours are shown; the others are kept as they are.</source>
        <translation>Les %1 premières des %2 heures calmes sont affichées&#xa0;; les autres sont conservées telles quelles.</translation>
    </message>
</context>
<context>
    <name>StatusMenu</name>
    <message>
        <source>Pause for 1 hour</source>
        <translation>Pause d’une heure</translation>
    </message>
    <message>
        <source>Pause for 4 hours</source>
        <translation>Pause de 4 heures</translation>
    </message>
    <message>
        <source>Suspend chimes temporarily</source>
        <translation>Suspendre les carillons temporairement</translation>
    </message>
    <message>
        <source>Open Pealix Preferences…</source>
        <translation>Ouvrir les préférences de Pealix…</translation>
    </message>
    <message>
        <source>Quit Pealix</source>
        <translation>Quitter Pealix</translation>
    </message>
    <message>
        <source>Resume chimes</source>
        <translation>Reprendre les carillons</translation>
    </message>
    <message>
        <source>Chimes are currently suspended</source>
        <translation>Les carillons sont actuellement suspendus</translation>
    </message>
</context>
<context>
    <name>Updater</name>
    <message>
        <source>The signature library could not start.</source>
        <translation>La bibliothèque de signatures n’a pas pu démarrer.</translation>
    </message>
    <message>
        <source>The update information is too large.</source>
        <translation>Les informations de mise à jour sont trop volumineuses.</translation>
    </message>
    <message>
        <source>The update information is not signed.</source>
        <translation>Les informations de mise à jour ne sont pas signées.</translation>
    </message>
    <message>
        <source>The update information has a signature this version does not trust.</source>
        <translation>Les informations de mise à jour portent une signature à laquelle cette version ne fait pas confiance.</translation>
    </message>
    <message>
        <source>The update information is for another product.</source>
        <translation>Les informations de mise à jour concernent un autre produit.</translation>
    </message>
    <message>
        <source>The update information names no valid version.</source>
        <translation>Les informations de mise à jour n’indiquent aucune version valide.</translation>
    </message>
    <message>
        <source>The update information has expired.</source>
        <translation>Les informations de mise à jour ont expiré.</translation>
    </message>
    <message>
        <source>The update information is incomplete.</source>
        <translation>Les informations de mise à jour sont incomplètes.</translation>
    </message>
    <message>
        <source>The update information is older than what this computer has seen.</source>
        <translation>Les informations de mise à jour sont plus anciennes que celles déjà vues par cet ordinateur.</translation>
    </message>
    <message>
        <source>The downloaded update could not be read.</source>
        <translation>La mise à jour téléchargée n’a pas pu être lue.</translation>
    </message>
    <message>
        <source>The downloaded update is incomplete or too large.</source>
        <translation>La mise à jour téléchargée est incomplète ou trop volumineuse.</translation>
    </message>
    <message>
        <source>The update was cancelled.</source>
        <translation>La mise à jour a été annulée.</translation>
    </message>
    <message>
        <source>The downloaded update does not match the update information.</source>
        <translation>La mise à jour téléchargée ne correspond pas aux informations de mise à jour.</translation>
    </message>
    <message>
        <source>The downloaded update is not signed by the makers of this version.</source>
        <translation>La mise à jour téléchargée n’est pas signée par les auteurs de cette version.</translation>
    </message>
    <message>
        <source>The update could not be unpacked.</source>
        <translation>La mise à jour n’a pas pu être décompressée.</translation>
    </message>
    <message>
        <source>The update archive holds an entry that may not be installed.</source>
        <translation>L’archive de mise à jour contient une entrée qui ne doit pas être installée.</translation>
    </message>
    <message>
        <source>The update archive is too large when unpacked.</source>
        <translation>L’archive de mise à jour est trop volumineuse une fois décompressée.</translation>
    </message>
    <message>
        <source>The update could not be unpacked: %1</source>
        <translation>La mise à jour n’a pas pu être décompressée&#xa0;: %1</translation>
    </message>
    <message>
        <source>The update could not be written (is the disk full?).</source>
        <translation>La mise à jour n’a pas pu être écrite (le disque est-il plein&#xa0;?).</translation>
    </message>
    <message>
        <source>The update archive is damaged.</source>
        <translation>L’archive de mise à jour est endommagée.</translation>
    </message>
    <message>
        <source>The update archive is empty.</source>
        <translation>L’archive de mise à jour est vide.</translation>
    </message>
    <message>
        <source>The update holds no preference pane.</source>
        <translation>La mise à jour ne contient aucun module de préférences.</translation>
    </message>
    <message>
        <source>The update is for another product.</source>
        <translation>La mise à jour concerne un autre produit.</translation>
    </message>
    <message>
        <source>The update&apos;s version is not the one offered.</source>
        <translation>La version de la mise à jour n’est pas celle proposée.</translation>
    </message>
    <message>
        <source>The update is incomplete.</source>
        <translation>La mise à jour est incomplète.</translation>
    </message>
    <message>
        <source>The update could not be installed: %1</source>
        <translation>La mise à jour n’a pas pu être installée&#xa0;: %1</translation>
    </message>
    <message>
        <source>%1 is neither the previous nor the new version</source>
        <translation>%1 n’est ni la version précédente ni la nouvelle</translation>
    </message>
    <message>
        <source>The update could not be installed.</source>
        <translation>La mise à jour n’a pas pu être installée.</translation>
    </message>
    <message>
        <source>The update could not be recorded in %1.</source>
        <translation>La mise à jour n’a pas pu être enregistrée dans %1.</translation>
    </message>
    <message>
        <source>the server stopped answering</source>
        <extracomment>Completes &quot;The update could not be downloaded: %1&quot; and the like.</extracomment>
        <translation>le serveur ne répond plus</translation>
    </message>
    <message>
        <source>the server sent it on to an address that is not secure</source>
        <translation>le serveur a redirigé vers une adresse non sécurisée</translation>
    </message>
    <message>
        <source>the server sends too slowly</source>
        <translation>le serveur envoie trop lentement</translation>
    </message>
    <message>
        <source>the server took too long</source>
        <translation>le serveur a mis trop de temps</translation>
    </message>
    <message>
        <source>Checking for updates…</source>
        <translation>Recherche de mises à jour…</translation>
    </message>
    <message>
        <source>Check for %1 updates automatically?</source>
        <translation>Rechercher automatiquement les mises à jour de %1&#xa0;?</translation>
    </message>
    <message>
        <source>Check Automatically</source>
        <translation>Rechercher automatiquement</translation>
    </message>
    <message>
        <source>Don&apos;t Check</source>
        <translation>Ne pas rechercher</translation>
    </message>
    <message>
        <source>Updates Are Turned Off</source>
        <translation>Les mises à jour sont désactivées</translation>
    </message>
    <message>
        <source>Updates of %1 are managed by the system on this computer.</source>
        <translation>Les mises à jour de %1 sont gérées par le système sur cet ordinateur.</translation>
    </message>
    <message>
        <source>%1 Updates</source>
        <translation>Mises à jour de %1</translation>
    </message>
    <message>
        <source>%1 is updated by your system&apos;s package manager.</source>
        <translation>%1 est mis à jour par le gestionnaire de paquets de votre système.</translation>
    </message>
    <message>
        <source>This copy of %1 is updated by the program that installed it.</source>
        <translation>Cette copie de %1 est mise à jour par le programme qui l’a installée.</translation>
    </message>
    <message>
        <source>The update address of this build is not a secure one.</source>
        <translation>L’adresse de mise à jour de cette version n’est pas sécurisée.</translation>
    </message>
    <message>
        <source>the update information is too large</source>
        <translation>les informations de mise à jour sont trop volumineuses</translation>
    </message>
    <message>
        <source>%1 Update</source>
        <translation>Mise à jour de %1</translation>
    </message>
    <message>
        <source>The update information could not be fetched: %1</source>
        <translation>Les informations de mise à jour n’ont pas pu être récupérées&#xa0;: %1</translation>
    </message>
    <message>
        <source>You&apos;re up to date!</source>
        <translation>Vous êtes à jour&#xa0;!</translation>
    </message>
    <message>
        <source>%2 %1 is the newest version available.</source>
        <extracomment>%2 is the product&apos;s name, %1 its version.</extracomment>
        <translation>%2 %1 est la version la plus récente disponible.</translation>
    </message>
    <message>
        <source>A new version of %1 is available!</source>
        <translation>Une nouvelle version de %1 est disponible&#xa0;!</translation>
    </message>
    <message>
        <source>%3 %1 is now available; you have %2. Would you like to install it now?</source>
        <extracomment>%3 is the product&apos;s name, %1 the version offered, %2 the version installed.</extracomment>
        <translation>%3 %1 est maintenant disponible&#xa0;; vous avez la %2. Voulez-vous l’installer maintenant&#xa0;?</translation>
    </message>
    <message>
        <source>Install Update</source>
        <translation>Installer la mise à jour</translation>
    </message>
    <message>
        <source>Remind Me Later</source>
        <translation>Me le rappeler plus tard</translation>
    </message>
    <message>
        <source>Skip This Version</source>
        <translation>Ignorer cette version</translation>
    </message>
    <message>
        <source>%1 is not installed in a place this updater can replace.</source>
        <translation>%1 n’est pas installé à un endroit que cette mise à jour peut remplacer.</translation>
    </message>
    <message>
        <source>Update Under Way</source>
        <translation>Mise à jour en cours</translation>
    </message>
    <message>
        <source>Another %1 updater is installing an update; try again when it is done.</source>
        <translation>Une autre mise à jour de %1 est en cours d’installation&#xa0;; réessayez lorsqu’elle sera terminée.</translation>
    </message>
    <message>
        <source>An earlier update could not be undone: %1</source>
        <translation>Une mise à jour précédente n’a pas pu être annulée&#xa0;: %1</translation>
    </message>
    <message>
        <source>There is no room to download the update beside %1.</source>
        <translation>Il n’y a pas de place pour télécharger la mise à jour à côté de %1.</translation>
    </message>
    <message>
        <source>Downloading %2 %1…</source>
        <translation>Téléchargement de %2 %1…</translation>
    </message>
    <message>
        <source>The downloaded update is larger than announced.</source>
        <translation>La mise à jour téléchargée est plus volumineuse qu’annoncé.</translation>
    </message>
    <message>
        <source>The update could not be downloaded: %1</source>
        <translation>La mise à jour n’a pas pu être téléchargée&#xa0;: %1</translation>
    </message>
    <message>
        <source>Verifying %2 %1…</source>
        <translation>Vérification de %2 %1…</translation>
    </message>
    <message>
        <source>Starting %2 %1…</source>
        <translation>Démarrage de %2 %1…</translation>
    </message>
    <message>
        <source>%4 %1 did not start, and %2 could not be put back: %3</source>
        <translation>%4 %1 n’a pas démarré, et %2 n’a pas pu être rétabli&#xa0;: %3</translation>
    </message>
    <message>
        <source>%3 %1 did not start on this system; %3 %2 stays installed.</source>
        <translation>%3 %1 n’a pas démarré sur ce système&#xa0;; %3 %2 reste installé.</translation>
    </message>
    <message>
        <source>%3 %1 is installed, not %2.</source>
        <translation>%3 %1 est installé, et non %2.</translation>
    </message>
    <message>
        <source>Update Error</source>
        <translation>Erreur de mise à jour</translation>
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
        <translation>Usage&#xa0;: pealix COMMANDE
Pilote le carillon d’horloge Pealix de cette session.

Commandes&#xa0;:
  status [--json]     dire si Pealix sonne, et quand il sonnera ensuite
  pause [DURÉE]       rester silencieux pendant DURÉE (30m, 1h, 2h30m), ou jusqu’à la reprise
  resume              sonner de nouveau
  chime               jouer maintenant ce que joue ce quart d’heure
  next                dire quand sonne le prochain carillon et ce qu’il joue
  preferences         ouvrir les préférences de Pealix

Options&#xa0;:
  --help              afficher cette aide et quitter
  --version           afficher la version et quitter
</translation>
    </message>
    <message>
        <source>Pealix is not running. Turn chimes on in its preferences.</source>
        <translation>Pealix n’est pas lancé. Activez les carillons dans ses préférences.</translation>
    </message>
    <message>
        <source>Cannot start %1.</source>
        <translation>Impossible de démarrer %1.</translation>
    </message>
    <message>
        <source>&quot;status&quot; takes only --json.</source>
        <translation>«&#xa0;status&#xa0;» n’accepte que --json.</translation>
    </message>
    <message>
        <source>&quot;pause&quot; takes one duration at most.</source>
        <translation>«&#xa0;pause&#xa0;» accepte au plus une durée.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; takes no arguments.</source>
        <translation>«&#xa0;%1&#xa0;» n’accepte aucun argument.</translation>
    </message>
    <message>
        <source>Unknown command &quot;%1&quot;.</source>
        <translation>Commande inconnue «&#xa0;%1&#xa0;».</translation>
    </message>
    <message>
        <source>No chime is due: %1</source>
        <translation>Aucun carillon à venir&#xa0;: %1</translation>
    </message>
    <message>
        <source>Next: %1</source>
        <translation>Prochain&#xa0;: %1</translation>
    </message>
    <message numerus="yes">
        <source>Pealix did not answer within %n seconds.</source>
        <translation>
            <numerusform>Pealix n’a pas répondu en %n seconde.</numerusform>
            <numerusform>Pealix n’a pas répondu en %n secondes.</numerusform>
        </translation>
    </message>
</context>
</TS>
