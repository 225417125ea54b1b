<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP">
<context>
    <name>AgreementAlert</name>
    <message>
        <source>To continue using the software you must agree to the terms of the software license agreement.</source>
        <translation>ソフトウェアを引き続き使用するには、ソフトウェア使用許諾契約の条件に同意する必要があります。</translation>
    </message>
    <message>
        <source>Click Agree to continue or click Disagree to cancel and quit the Installer.</source>
        <translation>続けるには「同意する」を、中止してインストーラを終了するには「同意しない」をクリックしてください。</translation>
    </message>
    <message>
        <source>License agreement</source>
        <translation>使用許諾契約</translation>
    </message>
    <message>
        <source>Read License</source>
        <translation>使用許諾を読む</translation>
    </message>
    <message>
        <source>Disagree</source>
        <translation>同意しない</translation>
    </message>
    <message>
        <source>Agree</source>
        <translation>同意する</translation>
    </message>
</context>
<context>
    <name>DefaultMenuBar</name>
    <message>
        <source>Version %1</source>
        <translation>バージョン %1</translation>
    </message>
    <message>
        <source>The installer and the plug-ins it installs are licensed under the Quorvantic Software License Agreement shown on the License page.</source>
        <translation>このインストーラとインストールされるプラグインは、「使用許諾」ページに表示される Quorvantic ソフトウェア使用許諾契約のもとで使用が許諾されます。</translation>
    </message>
    <message>
        <source>Help: the README beside the installer</source>
        <translation>ヘルプ: インストーラに同梱の README</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>ヘルプ(&amp;H)</translation>
    </message>
    <message>
        <source>Quorvantic Plugin Installer &amp;Help</source>
        <translation>Quorvantic Plugin Installer ヘルプ(&amp;H)</translation>
    </message>
    <message>
        <source>&amp;Quorvantic Plugin Installer</source>
        <translation>&amp;Quorvantic Plugin Installer</translation>
    </message>
    <message>
        <source>&amp;About Quorvantic Plugin Installer</source>
        <translation>Quorvantic Plugin Installer について(&amp;A)</translation>
    </message>
    <message>
        <source>About Quorvantic Plugin Installer</source>
        <translation>Quorvantic Plugin Installer について</translation>
    </message>
    <message>
        <source>&amp;Quit Quorvantic Plugin Installer</source>
        <translation>Quorvantic Plugin Installer を終了(&amp;Q)</translation>
    </message>
    <message>
        <source>&amp;Window</source>
        <translation>ウインドウ(&amp;W)</translation>
    </message>
    <message>
        <source>Mi&amp;nimize</source>
        <translation>最小化(&amp;N)</translation>
    </message>
    <message>
        <source>&amp;Maximize</source>
        <translation>最大化(&amp;M)</translation>
    </message>
</context>
<context>
    <name>FinderAccessAlert</name>
    <message>
        <source>To make changes with Installer please allow Finder access from Settings</source>
        <translation>インストーラで変更を行うには、設定でファイルマネージャへのアクセスを許可してください</translation>
    </message>
    <message>
        <source>Finder access</source>
        <translation>ファイルマネージャへのアクセス</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>閉じる</translation>
    </message>
    <message>
        <source>Open settings</source>
        <translation>設定を開く</translation>
    </message>
</context>
<context>
    <name>InstallConfirmation</name>
    <message>
        <source>Click &quot;Install&quot; button to complete the installation.</source>
        <translation>「インストール」ボタンをクリックしてインストールを完了してください。</translation>
    </message>
    <message>
        <source>Confirm installation</source>
        <translation>インストールの確認</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>キャンセル</translation>
    </message>
    <message>
        <source>Install</source>
        <translation>インストール</translation>
    </message>
</context>
<context>
    <name>InstallProgress</name>
    <message>
        <source>Cancel</source>
        <translation>キャンセル</translation>
    </message>
    <message>
        <source>%1 – stopping after this step</source>
        <translation>%1 – この手順の後で停止します</translation>
    </message>
    <message>
        <source>Installing</source>
        <translation>インストール中</translation>
    </message>
    <message>
        <source>Installing (step %1 of %2)</source>
        <translation>インストール中 (手順 %1/%2)</translation>
    </message>
    <message>
        <source>Installing %1 (step %2 of %3)</source>
        <translation>%1 をインストール中 (手順 %2/%3)</translation>
    </message>
    <message>
        <source>Uninstalling (step %1 of %2)</source>
        <translation>アンインストール中 (手順 %1/%2)</translation>
    </message>
</context>
<context>
    <name>IntroPage</name>
    <message>
        <source>You will be guided through the steps necessary to use this software.</source>
        <translation>このソフトウェアを使用するために必要な手順をご案内します。</translation>
    </message>
</context>
<context>
    <name>LicenseText</name>
    <message>
        <source>License agreement text</source>
        <translation>使用許諾契約の本文</translation>
    </message>
</context>
<context>
    <name>LogWindow</name>
    <message>
        <source>Log text</source>
        <translation>ログの本文</translation>
    </message>
    <message>
        <source>Copy to Clipboard</source>
        <translation>クリップボードにコピー</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>閉じる</translation>
    </message>
    <message>
        <source>Full log: %1</source>
        <translation>完全なログ: %1</translation>
    </message>
    <message>
        <source>Installation log</source>
        <translation>インストールログ</translation>
    </message>
</context>
<context>
    <name>PageRow</name>
    <message>
        <source>Step %1 of %2, current</source>
        <translation>手順 %1/%2、現在の手順</translation>
    </message>
    <message>
        <source>Step %1 of %2</source>
        <translation>手順 %1/%2</translation>
    </message>
</context>
<context>
    <name>PageTexts</name>
    <message>
        <source>Introduction</source>
        <translation>はじめに</translation>
    </message>
    <message>
        <source>License</source>
        <translation>使用許諾</translation>
    </message>
    <message>
        <source>Products</source>
        <translation>製品</translation>
    </message>
    <message>
        <source>Summary</source>
        <translation>概要</translation>
    </message>
    <message>
        <source>Software License Agreement</source>
        <translation>ソフトウェア使用許諾契約</translation>
    </message>
    <message>
        <source>The following Products will be installed</source>
        <translation>次の製品がインストールされます</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>閉じる</translation>
    </message>
    <message>
        <source>Next</source>
        <translation>次へ</translation>
    </message>
    <message>
        <source>Go Back</source>
        <translation>戻る</translation>
    </message>
    <message>
        <source>Quorvantic Plugin Installer</source>
        <translation>Quorvantic Plugin Installer</translation>
    </message>
    <message>
        <source>%1 — %2, step %3 of %4</source>
        <translation>%1 — %2、手順 %3/%4</translation>
    </message>
</context>
<context>
    <name>ProductListPage</name>
    <message>
        <source>Products to install</source>
        <translation>インストールする製品</translation>
    </message>
</context>
<context>
    <name>QuorvanticInstallerApp</name>
    <message>
        <source>&amp;Uninstall Quorvantic Plug-ins…</source>
        <translation>Quorvantic プラグインをアンインストール(&amp;U)…</translation>
    </message>
</context>
<context>
    <name>Sidebar</name>
    <message>
        <source>Quorvantic logo</source>
        <translation>Quorvantic のロゴ</translation>
    </message>
    <message>
        <source>Steps</source>
        <translation>手順</translation>
    </message>
</context>
<context>
    <name>SummaryPage</name>
    <message>
        <source>Details</source>
        <translation>詳細</translation>
    </message>
    <message>
        <source>The installation was not completed successfully.</source>
        <translation>インストールは正常に完了しませんでした。</translation>
    </message>
    <message>
        <source>You have been successfully installed selected products.</source>
        <translation>選択した製品は正常にインストールされました。</translation>
    </message>
    <message>
        <source>Failed</source>
        <translation>失敗</translation>
    </message>
    <message>
        <source>Succeeded</source>
        <translation>成功</translation>
    </message>
</context>
<context>
    <name>UninstallDialog</name>
    <message>
        <source>%1, version %2, installed %3</source>
        <translation>%1、バージョン %2、%3 にインストール</translation>
    </message>
    <message>
        <source>Uninstall Quorvantic Plug-ins</source>
        <translation>Quorvantic プラグインのアンインストール</translation>
    </message>
    <message>
        <source>Remove these Quorvantic plug-ins from this computer?</source>
        <translation>これらの Quorvantic プラグインをこのコンピュータから削除しますか?</translation>
    </message>
    <message>
        <source>Files changed since they were installed are kept.</source>
        <translation>インストール後に変更されたファイルは残されます。</translation>
    </message>
    <message>
        <source>Uninstall</source>
        <translation>アンインストール</translation>
    </message>
    <message>
        <source>The Quorvantic plug-ins were uninstalled.</source>
        <translation>Quorvantic プラグインはアンインストールされました。</translation>
    </message>
    <message>
        <source>The uninstall failed.</source>
        <translation>アンインストールに失敗しました。</translation>
    </message>
    <message>
        <source>Kept, because they changed since they were installed:</source>
        <translation>インストール後に変更されたため残されたもの:</translation>
    </message>
    <message>
        <source>Full log: %1</source>
        <translation>完全なログ: %1</translation>
    </message>
    <message>
        <source>No Quorvantic plug-ins are installed.</source>
        <translation>Quorvantic プラグインはインストールされていません。</translation>
    </message>
</context>
</TS>
