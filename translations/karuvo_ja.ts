<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja" sourcelanguage="en">
<context>
    <name>karuvo</name>
    <message>
        <source>Arithmetic overflow: %1 (%2 %3 %4) does not fit in a signed 32-bit integer</source>
        <translation>計算がはみ出しました: %1（%2 %3 %4）が 32 ビット整数の範囲に収まりません。セルの大きさ・影のずれ・テキストを小さくしてください。</translation>
    </message>
    <message>
        <source>Arithmetic overflow: %1 (%2) does not fit in a signed 32-bit integer</source>
        <translation>計算がはみ出しました: %1（%2）が 32 ビット整数の範囲に収まりません。セルの大きさ・影のずれ・テキストを小さくしてください。</translation>
    </message>
    <message>
        <source>The colour &quot;%1&quot; has more than eight hexadecimal digits</source>
        <translation>色「%1」は 16 進数で 8 桁を超えています。色をもう一度選んでください。</translation>
    </message>
    <message>
        <source>A picture of %1 x %2 pixels cannot be made</source>
        <translation>%1 × %2 ピクセルの画像は作れません。セルの大きさとテキストを見直してください。</translation>
    </message>
    <message>
        <source>A picture of %1 x %2 pixels does not fit in memory</source>
        <translation>%1 × %2 ピクセルの画像はメモリーに収まりません。セルの大きさかテキストを小さくしてください。</translation>
    </message>
    <message>
        <source>Cannot load the image &quot;%1&quot;: the file is truncated</source>
        <translation>画像「%1」を読み込めません: ファイルが途中で切れています。完全な画像ファイルを選び直してください。</translation>
    </message>
    <message>
        <source>Cannot load the image &quot;%1&quot;: no such file</source>
        <translation>画像「%1」を読み込めません: そのファイルはありません。「画像」を押してテクスチャ画像を選び直してください。</translation>
    </message>
    <message>
        <source>Cannot load the image &quot;%1&quot;: the file is empty</source>
        <translation>画像「%1」を読み込めません: ファイルが空です。別の画像ファイルを選んでください。</translation>
    </message>
    <message>
        <source>Cannot load the image &quot;%1&quot;: the file cannot be read</source>
        <translation>画像「%1」を読み込めません: ファイルを読めません。読み取りの許可を確かめるか、別の画像ファイルを選んでください。</translation>
    </message>
    <message>
        <source>Cannot load the image &quot;%1&quot;: it is not an image of a readable format (%2)</source>
        <translation>画像「%1」を読み込めません: 読める形式（%2）の画像ではありません。これらの形式の画像ファイルを選び直してください。</translation>
    </message>
    <message>
        <source>Cannot load the image &quot;%1&quot;: the image is %2 x %3 pixels, too large to load (at most %4 pixels)</source>
        <translation>画像「%1」を読み込めません: %2 × %3 ピクセルは大きすぎます（%4 ピクセルまで）。小さい画像を選んでください。</translation>
    </message>
    <message>
        <source>Cannot load the image &quot;%1&quot;: it cannot be decoded (%2)</source>
        <translation>画像「%1」を読み込めません: 中身を解読できません（%2）。壊れていない画像ファイルを選び直してください。</translation>
    </message>
    <message>
        <source>%1: the number %2 is outside the range -2147483648 to 2147483647</source>
        <translation>%1 の数値 %2 が -2147483648 から 2147483647 の範囲を超えています。もっと小さな数を入力してください。</translation>
    </message>
    <message>
        <source>The font &quot;%1&quot; cannot be made at height %2 and width %3</source>
        <translation>フォント「%1」を高さ %2・幅 %3 で作れません。「フォント選択」で別の大きさを選んでください。</translation>
    </message>
    <message>
        <source>A cell of %1 x %2 pixels cannot be used: its width and height must be at least 1</source>
        <translation>%1 × %2 ピクセルのセルは使えません。「１文字当たりのサイズ」の横と縦を 1 以上にしてください（空にするとフォントから決まります）。</translation>
    </message>
    <message>
        <source>A sheet of %1 x %2 pixels is too large: each side can be at most %3 pixels</source>
        <translation>%1 × %2 ピクセルのシートは大きすぎます。1 辺は %3 ピクセルまでです。セルの大きさかテキストを小さくしてください。</translation>
    </message>
    <message>
        <source>A sheet of %1 x %2 pixels does not fit in memory: with its file and %3 cells it needs %4 MiB, at most %5 MiB can be used</source>
        <translation>%1 × %2 ピクセルのシートはメモリーに収まりません。ファイルと %3 個のセルを合わせて %4 MiB 必要ですが、使えるのは %5 MiB までです。セルの大きさかテキストを小さくしてください。</translation>
    </message>
    <message>
        <source>The outline of a sheet %1 pixels wide does not fit in memory</source>
        <translation>幅 %1 ピクセルのシートの縁取りはメモリーに収まりません。セルの大きさかテキストを小さくしてください。</translation>
    </message>
    <message>
        <source>The horizontal shadow offset (横)</source>
        <translation>影の横のずれ</translation>
    </message>
    <message>
        <source>The vertical shadow offset (縦)</source>
        <translation>影の縦のずれ</translation>
    </message>
    <message>
        <source>There is nothing to draw: the text has no character. Type the text to put on the sheet first.</source>
        <translation>描く文字がありません。テキストが空です（改行だけでは描けません）。「作成するテキスト」に文字を入力してください。</translation>
    </message>
    <message>
        <source>The cell width (横)</source>
        <translation>セルの横</translation>
    </message>
    <message>
        <source>The cell height (縦)</source>
        <translation>セルの縦</translation>
    </message>
    <message>
        <source>The sheet is %1 x %2 pixels and has no area, so there is nothing to save. Type the text to put on the sheet first; no file was written.</source>
        <translation>シートが %1 × %2 ピクセルで面積がないため、保存するものがありません。先に「作成するテキスト」に文字を入力してください。ファイルは書き込んでいません。</translation>
    </message>
    <message>
        <source>the outline radius</source>
        <translation>縁取り半径</translation>
    </message>
    <message>
        <source>the sheet width</source>
        <translation>シートの幅</translation>
    </message>
    <message>
        <source>the sheet height</source>
        <translation>シートの高さ</translation>
    </message>
    <message>
        <source>the sheet box width</source>
        <translation>シート枠の幅</translation>
    </message>
    <message>
        <source>the sheet box height</source>
        <translation>シート枠の高さ</translation>
    </message>
    <message>
        <source>the column count</source>
        <translation>列の数</translation>
    </message>
    <message>
        <source>the row count</source>
        <translation>行の数</translation>
    </message>
    <message>
        <source>the fitted cell width</source>
        <translation>フォントから求めたセルの横</translation>
    </message>
    <message>
        <source>the fitted cell height</source>
        <translation>フォントから求めたセルの縦</translation>
    </message>
    <message>
        <source>a cell position</source>
        <translation>セルの位置</translation>
    </message>
    <message>
        <source>a cell&apos;s left edge</source>
        <translation>セルの左端</translation>
    </message>
    <message>
        <source>a cell&apos;s top edge</source>
        <translation>セルの上端</translation>
    </message>
    <message>
        <source>a character position</source>
        <translation>文字の位置</translation>
    </message>
    <message>
        <source>a shadow position</source>
        <translation>影の位置</translation>
    </message>
    <message>
        <source>a texture tile position</source>
        <translation>テクスチャを並べる位置</translation>
    </message>
    <message>
        <source>A number is too large to work with. Make the cell size, the shadow offsets or the text smaller.</source>
        <translation>数が大きすぎて扱えません。セルの大きさ・影のずれ・テキストを小さくしてください。</translation>
    </message>
    <message>
        <source>The sheet cannot be made at this size. Check the cell size and the text.</source>
        <translation>この大きさではシートを作れません。セルの大きさとテキストを見直してください。</translation>
    </message>
    <message>
        <source>The sheet is too large for the memory. Make the cell size or the text smaller.</source>
        <translation>シートが大きすぎてメモリーに収まりません。セルの大きさかテキストを小さくしてください。</translation>
    </message>
    <message>
        <source>The texture image cannot be loaded. Choose another image file.</source>
        <translation>テクスチャ画像を読み込めません。別の画像ファイルを選んでください。</translation>
    </message>
    <message>
        <source>The file cannot be written. Choose another folder or file name.</source>
        <translation>ファイルに書き込めません。別のフォルダーかファイル名を選んでください。</translation>
    </message>
    <message>
        <source>The text cannot be read. Type it again.</source>
        <translation>テキストを読み取れません。入力し直してください。</translation>
    </message>
    <message>
        <source>No sheet file is named, so nothing was written. Name one in 出力設定 (シート).</source>
        <translation>シートのファイルが指定されていないため、何も書き込んでいません。出力設定の「シート」で指定してください。</translation>
    </message>
    <message>
        <source>This setting cannot be taken. Correct it as the message says.</source>
        <translation>この設定は使えません。メッセージに従って直してください。</translation>
    </message>
    <message>
        <source>A file named here cannot be read. Check its name and folder.</source>
        <translation>指定されたファイルを読み込めません。ファイル名とフォルダを確かめてください。</translation>
    </message>
    <message>
        <source>No character is listed: choose a character set or type a list (一覧).</source>
        <translation>文字が選ばれていません: 文字集合を選ぶか、「一覧」に文字を入力してください。</translation>
    </message>
    <message>
        <source>The .fnt and the JSON describe a sheet: name the sheet file (シート) too.</source>
        <translation>.fnt と JSON はシートを説明するものです: シートのファイル名も指定してください。</translation>
    </message>
    <message>
        <source>The project cannot hold these settings, so nothing was saved: %1</source>
        <translation>この設定はプロジェクトに保存できないため、保存しませんでした: %1</translation>
    </message>
    <message>
        <source>The project or a file it names cannot be read. Check the file&apos;s name and folder.</source>
        <translation>プロジェクトまたはそれが指すファイルを読み込めません。ファイル名とフォルダを確かめてください。</translation>
    </message>
    <message>
        <source>The project file cannot be read. Correct it as the message says.</source>
        <translation>プロジェクトファイルを読み込めません。メッセージに従って直してください。</translation>
    </message>
    <message>
        <source>The operation failed.</source>
        <translation>処理できませんでした。</translation>
    </message>
    <message>
        <source>There is not enough memory for this. Make the cell size or the text smaller.</source>
        <translation>メモリーが足りません。セルの大きさかテキストを小さくしてください。</translation>
    </message>
    <message>
        <source>Cannot write &quot;%1&quot;: it is a folder</source>
        <translation>「%1」に書き込めません: フォルダーです。保存するファイル名を選び直してください。</translation>
    </message>
    <message>
        <source>Cannot write &quot;%1&quot;: the folder &quot;%2&quot; does not exist</source>
        <translation>「%1」に書き込めません: フォルダー「%2」がありません。あるフォルダーを選び直してください。</translation>
    </message>
    <message>
        <source>Cannot write &quot;%1&quot;: &quot;%2&quot; is a file, not a folder</source>
        <translation>「%1」に書き込めません: 「%2」はフォルダーではなくファイルです。別の場所を選んでください。</translation>
    </message>
    <message>
        <source>Cannot write &quot;%1&quot;: %2</source>
        <translation>「%1」に書き込めません（%2）。書き込める別のフォルダーかファイル名を選んでください。</translation>
    </message>
    <message>
        <source>A region of %1 x %2 pixels at %3, %4 is not a part of the sheet with some area to write</source>
        <translation>位置 %3, %4 の %1 × %2 ピクセルの範囲はシートの中にないため書き出せません。もう一度プレビューしてから保存してください。</translation>
    </message>
    <message>
        <source>The sheet was built without its coverage, so it has no transparency to write</source>
        <translation>シートに透過の情報がないため、透過 PNG を書き出せません。もう一度保存してください。</translation>
    </message>
    <message>
        <source>A picture of %1 x %2 pixels with transparency does not fit in memory</source>
        <translation>透過つきの %1 × %2 ピクセルの画像はメモリーに収まりません。セルの大きさかテキストを小さくするか、bmp で保存してください。</translation>
    </message>
    <message>
        <source>A PNG file of %1 x %2 pixels does not fit in memory</source>
        <translation>%1 × %2 ピクセルの PNG ファイルはメモリーに収まりません。セルの大きさかテキストを小さくするか、bmp で保存してください。</translation>
    </message>
    <message>
        <source>A bitmap of %1 x %2 pixels has no area to write</source>
        <translation>%1 × %2 ピクセルのビットマップは面積がないため書き出せません。「作成するテキスト」に文字を入力してください。</translation>
    </message>
    <message>
        <source>A bitmap of %1 x %2 pixels is too large for a .bmp file</source>
        <translation>%1 × %2 ピクセルは .bmp ファイルには大きすぎます（4 GiB まで）。セルの大きさかテキストを小さくしてください。</translation>
    </message>
    <message>
        <source>Cannot write &quot;%1&quot;: no space left on device; free some space on &quot;%2&quot; and try again</source>
        <translation>「%1」に書き込めません: ディスクに空きがありません。「%2」の空きを増やしてから、もう一度お試しください。</translation>
    </message>
    <message>
        <source>Cannot write &quot;%1&quot;: no space left on device; free some space on &quot;%2&quot; (which holds &quot;%3&quot;) and try again</source>
        <translation>「%1」に書き込めません: ディスクに空きがありません。「%3」のある「%2」の空きを増やしてから、もう一度お試しください。</translation>
    </message>
    <message>
        <source>Cannot write &quot;%1&quot;: %2; every output was left as it was</source>
        <translation>「%1」に書き込めません（%2）。どのファイルも元のままです。書き込める別のフォルダーかファイル名を選んでください。</translation>
    </message>
    <message>
        <source>Cannot write &quot;%1&quot;: it is a symbolic link to nothing; give the name of a file</source>
        <translation>「%1」に書き込めません: 行き先のないシンボリックリンクです。ファイル名を選び直してください。</translation>
    </message>
    <message>
        <source>Cannot write &quot;%1&quot;: it is not a regular file (a device, fifo or socket); it was left alone, give the name of a file</source>
        <translation>「%1」に書き込めません: 通常のファイルではありません（デバイス、FIFO、ソケット）。そのままにしてあります。ファイル名を選び直してください。</translation>
    </message>
    <message>
        <source>Cannot write &quot;%1&quot;: the file cannot be read to keep it until the new one is in place (%2)</source>
        <translation>「%1」に書き込めません: 新しいファイルに置き換わるまで元のファイルを残すために読み込めません（%2）。</translation>
    </message>
    <message>
        <source>Cannot write &quot;%1&quot;: the folder &quot;%2&quot; lets only the file&apos;s owner replace it; give another name or ask its owner</source>
        <translation>「%1」に書き込めません: フォルダー「%2」ではファイルの持ち主しか置き換えられません。別の名前を選ぶか、持ち主に頼んでください。</translation>
    </message>
    <message>
        <source>Cannot write &quot;%1&quot;: it is the same file as &quot;%2&quot;; give each output a name of its own</source>
        <translation>「%1」に書き込めません: 「%2」と同じファイルです。出力ごとに別の名前を付けてください。</translation>
    </message>
    <message>
        <source>a folder</source>
        <translation>フォルダー</translation>
    </message>
    <message>
        <source>a named pipe</source>
        <translation>名前付きパイプ</translation>
    </message>
    <message>
        <source>a socket</source>
        <translation>ソケット</translation>
    </message>
    <message>
        <source>a device</source>
        <translation>デバイス</translation>
    </message>
    <message>
        <source>Cannot write &quot;%1&quot;: no free inodes left on &quot;%2&quot;, which holds as many files as it can; remove some files from it and try again</source>
        <translation>「%1」に書き込めません: 「%2」の i ノードが残っておらず、これ以上ファイルを置けません。そこからファイルをいくつか削除して、もう一度試してください。</translation>
    </message>
    <message>
        <source>Cannot write &quot;%1&quot;: no free inodes left on &quot;%2&quot; (which holds &quot;%3&quot;), which holds as many files as it can; remove some files from it and try again</source>
        <translation>「%1」に書き込めません: 「%2」（「%3」を含む）の i ノードが残っておらず、これ以上ファイルを置けません。そこからファイルをいくつか削除して、もう一度試してください。</translation>
    </message>
    <message>
        <source>Cannot write &quot;%1&quot;: your disk quota on &quot;%2&quot; is used up; remove some of your files there or ask for a larger quota</source>
        <translation>「%1」に書き込めません: 「%2」でのディスク割り当て（クォータ）を使い切りました。そこにある自分のファイルを削除するか、割り当ての拡大を依頼してください。</translation>
    </message>
    <message>
        <source>Cannot write &quot;%1&quot;: your disk quota on &quot;%2&quot; (which holds &quot;%3&quot;) is used up; remove some of your files there or ask for a larger quota</source>
        <translation>「%1」に書き込めません: 「%2」（「%3」を含む）でのディスク割り当て（クォータ）を使い切りました。そこにある自分のファイルを削除するか、割り当ての拡大を依頼してください。</translation>
    </message>
    <message>
        <source>Cannot load the image &quot;%1&quot;: it is %2, not an image file</source>
        <translation>画像「%1」を読み込めません: 画像ファイルではなく%2です。画像ファイルを選び直してください。</translation>
    </message>
    <message>
        <source>A sheet of %1 x %2 pixels does not fit in memory: with its file and %3 cell it needs %4 MiB, at most %5 MiB can be used</source>
        <translation>%1 × %2 ピクセルのシートはメモリーに収まりません。ファイルと %3 個のセルを合わせて %4 MiB 必要ですが、使えるのは %5 MiB までです。セルの大きさかテキストを小さくしてください。</translation>
    </message>
    <message>
        <source>Cannot save the sheet as &quot;%1&quot;: it is the texture image the sheet is filled with. Choose another file name; no file was written.</source>
        <translation>シートを「%1」として保存できません: シートを塗りつぶしているテクスチャ画像そのものです。別のファイル名を選んでください。ファイルは書き込まれていません。</translation>
    </message>
    <message>
        <source>Cannot save the sheet as &quot;%1&quot;: it is the font file &quot;%2&quot; the sheet is drawn with. Choose another file name; no file was written.</source>
        <translation>シートを「%1」として保存できません: シートを描いているフォントのファイル「%2」そのものです。別のファイル名を選んでください。ファイルは書き込まれていません。</translation>
    </message>
    <message>
        <source>%1 already exists.
Do you want to replace it?</source>
        <translation>%1 は既に存在します。
置き換えますか？</translation>
    </message>
    <message>
        <source>No image is chosen for the image fill (画像), so the glyphs are white.</source>
        <translation>画像が選ばれていないため、文字は白で描かれています。</translation>
    </message>
    <message>
        <source>Every character is in &quot;%1&quot;; no other face drew any.</source>
        <translation>すべての文字が「%1」にあります</translation>
    </message>
    <message>
        <source>%1 left empty</source>
        <translation>%1（空のセル）</translation>
    </message>
    <message>
        <source>%1: no installed face has it, so its cell shows the missing-glyph box</source>
        <translation>%1（どのフォントにもなく欠字の箱）</translation>
    </message>
    <message>
        <source>%1 drawn with &quot;%2&quot;</source>
        <translation>%1（%2 で描画）</translation>
    </message>
    <message>
        <source>and %1 more</source>
        <translation>ほか %1 個</translation>
    </message>
    <message>
        <source>, </source>
        <translation>、</translation>
    </message>
    <message>
        <source>%1 characters are not in &quot;%2&quot;: %3</source>
        <translation>「%2」にない文字 %1 個: %3</translation>
    </message>
    <message>
        <source>The shadow reaches past cells of %1 x %2 pixels into their neighbours; cells of %3 x %4 would hold it</source>
        <translation>影がはみ出しています: %3 × %4 のセルなら収まります（今は %1 × %2）</translation>
    </message>
    <message>
        <source>The outline reaches past cells of %1 x %2 pixels into their neighbours; cells of %3 x %4 would hold it</source>
        <translation>縁取りがはみ出しています: %3 × %4 のセルなら収まります（今は %1 × %2）</translation>
    </message>
    <message>
        <source>The distance field reaches past cells of %1 x %2 pixels and is cut at their edges; cells of %3 x %4 would hold it</source>
        <translation>距離フィールドがはみ出しています: %3 × %4 のセルなら収まります（今は %1 × %2 で、セルの端で切れています）</translation>
    </message>
    <message>
        <source>Exported %1 files: %2</source>
        <translation>%1 個のファイルを書き出しました: %2</translation>
    </message>
    <message>
        <source>Pages an earlier export left, which no replaced descriptor names, are kept: %1</source>
        <translation>以前の書き出しのページを残しました（置き換えた記述ファイルにない名前）: %1</translation>
    </message>
    <message>
        <source>Saved the sheet: %1</source>
        <translation>シートを保存しました: %1</translation>
    </message>
    <message>
        <source>the distance field</source>
        <translation>距離フィールド</translation>
    </message>
    <message>
        <source>the shadow (影)</source>
        <translation>「影」</translation>
    </message>
    <message>
        <source>the outline (縁取り)</source>
        <translation>「縁取り」</translation>
    </message>
    <message>
        <source>the image fill (画像)</source>
        <translation>「画像」の塗り</translation>
    </message>
    <message>
        <source>monochrome glyphs</source>
        <translation>モノクロのグリフ</translation>
    </message>
    <message>
        <source>the font&apos;s underline</source>
        <translation>フォントの下線</translation>
    </message>
    <message>
        <source>the font&apos;s strikeout</source>
        <translation>フォントの取り消し線</translation>
    </message>
    <message>
        <source>a bitmap sheet file</source>
        <translation>ビットマップ (.bmp) のシートファイル</translation>
    </message>
    <message>
        <source>the binary .fnt form</source>
        <translation>バイナリ形式の .fnt</translation>
    </message>
    <message>
        <source>colour glyphs (カラーグリフ)</source>
        <translation>「カラーグリフを色のまま描く」</translation>
    </message>
    <message>
        <source>%1 and %2 cannot be used together: a distance field holds the glyphs&apos; shape alone, and effects belong in the shader. Turn one of them off.</source>
        <translation>%1と%2は一緒に使えません: 距離フィールドはグリフの形だけを持ち、効果はシェーダーで付けます。どちらかをやめてください。</translation>
    </message>
    <message>
        <source>%1 cannot be held in %2: the field is kept in the alpha channel of a PNG sheet. Give the sheet file a name ending in .png.</source>
        <translation>%1は%2には入れられません: 距離フィールドは PNG のシートのアルファチャンネルに入ります。シートのファイル名を .png で終えてください。</translation>
    </message>
    <message>
        <source>%1 cannot be described in %2, which cannot say that its page is a distance field. Choose the text or XML form.</source>
        <translation>%1は%2では表せません: この形式はページが距離フィールドであることを書けません。テキスト形式か XML 形式を選んでください。</translation>
    </message>
    <message>
        <source>%1 and %2 cannot be used together: colour glyphs keep their own colours, and %2 draws glyphs in one colour. Turn one of them off.</source>
        <translation>%1と%2は一緒に使えません: カラーグリフは自分の色で描かれ、%2はグリフを一色で描きます。どちらかをやめてください。</translation>
    </message>
    <message>
        <source>Made the folders that did not exist: %1</source>
        <translation>なかったフォルダーを作りました: %1</translation>
    </message>
    <message>
        <source>Cannot make the folder &quot;%1&quot;: a file of that name is in the way; give the outputs another folder</source>
        <translation>フォルダー「%1」を作れません: 同じ名前のファイルがあります。出力に別のフォルダーを指定してください。</translation>
    </message>
    <message>
        <source>Cannot make the folder &quot;%1&quot;: %2</source>
        <translation>フォルダー「%1」を作れません: %2</translation>
    </message>
    <message>
        <source>The project&apos;s font &quot;%1&quot; is not installed, so the sheet is drawn in &quot;%2&quot; instead. Install the font, or choose another with フォント選択.</source>
        <translation>プロジェクトのフォント「%1」はインストールされていないため、代わりに「%2」で描きます。フォントをインストールするか、フォント選択で別のフォントを選んでください。</translation>
    </message>
    <message>
        <source>true or false</source>
        <translation>true か false</translation>
    </message>
    <message>
        <source>a number</source>
        <translation>数値</translation>
    </message>
    <message>
        <source>text</source>
        <translation>文字列</translation>
    </message>
    <message>
        <source>an object</source>
        <translation>オブジェクト</translation>
    </message>
    <message>
        <source>a list</source>
        <translation>リスト</translation>
    </message>
    <message>
        <source>null</source>
        <translation>null</translation>
    </message>
    <message>
        <source>unknown key %1; the keys of a project are %2</source>
        <translation>%1 は知らないキーです。プロジェクトのキーは %2 です</translation>
    </message>
    <message>
        <source>unknown key %1; the keys of %2 are %3</source>
        <translation>%1 は知らないキーです。%2 のキーは %3 です</translation>
    </message>
    <message>
        <source>%1 must be %2, not %3</source>
        <translation>%1 は%2で指定してください（%3が指定されています）</translation>
    </message>
    <message>
        <source>%1 holds half of a surrogate pair alone; give whole characters</source>
        <translation>%1 にサロゲートペアの片方だけが含まれています。文字全体を指定してください</translation>
    </message>
    <message>
        <source>it has no &quot;karuvo&quot; key with its format version; a project begins with &quot;karuvo&quot;: 1</source>
        <translation>形式のバージョンを示す &quot;karuvo&quot; キーがありません。プロジェクトは &quot;karuvo&quot;: 1 で始まります</translation>
    </message>
    <message>
        <source>it is of format version %1, and this program reads version %2; open it with a newer KARUVO</source>
        <translation>形式のバージョンが %1 ですが、このプログラムが読めるのはバージョン %2 です。新しい KARUVO で開いてください</translation>
    </message>
    <message>
        <source>karuvo: the format version %1 is not one this program reads; give %2</source>
        <translation>karuvo: 形式のバージョン %1 はこのプログラムでは読めません。%2 を指定してください</translation>
    </message>
    <message>
        <source>a list of names</source>
        <translation>名前のリスト</translation>
    </message>
    <message>
        <source>charsets is an empty list; give at least one name</source>
        <translation>charsets が空のリストです。名前を 1 つ以上指定してください</translation>
    </message>
    <message>
        <source>it names no characters; give &quot;text&quot;, &quot;textFile&quot;, or &quot;chars&quot; and &quot;charsets&quot;</source>
        <translation>文字が指定されていません。&quot;text&quot;、&quot;textFile&quot;、または &quot;chars&quot; と &quot;charsets&quot; を指定してください</translation>
    </message>
    <message>
        <source>&quot;text&quot;, &quot;textFile&quot;, and &quot;chars&quot; with &quot;charsets&quot; exclude each other; give the characters one way</source>
        <translation>&quot;text&quot;、&quot;textFile&quot;、&quot;chars&quot; と &quot;charsets&quot; は同時に指定できません。文字の指定方法を 1 つにしてください</translation>
    </message>
    <message>
        <source>font.family and font.file exclude each other; give one of them</source>
        <translation>font.family と font.file は同時に指定できません。どちらか一方を指定してください</translation>
    </message>
    <message>
        <source>font.family: %1 names a font file; give it as font.file</source>
        <translation>font.family: %1 はフォントファイルです。font.file に指定してください</translation>
    </message>
    <message>
        <source>font.faceIndex needs font.file; add the font file or drop the index</source>
        <translation>font.faceIndex には font.file が必要です。フォントファイルを指定するか、番号を削除してください</translation>
    </message>
    <message>
        <source>cell: %1 is not &quot;fitted&quot;; give &quot;fitted&quot; or {&quot;width&quot;: W, &quot;height&quot;: H}</source>
        <translation>cell: %1 は &quot;fitted&quot; ではありません。&quot;fitted&quot; または {&quot;width&quot;: W, &quot;height&quot;: H} を指定してください</translation>
    </message>
    <message>
        <source>cell must be &quot;fitted&quot; or an object, not %1; give &quot;fitted&quot; or {&quot;width&quot;: W, &quot;height&quot;: H}</source>
        <translation>cell は &quot;fitted&quot; またはオブジェクトで指定してください（%1が指定されています）。&quot;fitted&quot; または {&quot;width&quot;: W, &quot;height&quot;: H} を指定してください</translation>
    </message>
    <message>
        <source>cell needs both &quot;width&quot; and &quot;height&quot;; give &quot;fitted&quot; or {&quot;width&quot;: W, &quot;height&quot;: H}</source>
        <translation>cell には &quot;width&quot; と &quot;height&quot; の両方が必要です。&quot;fitted&quot; または {&quot;width&quot;: W, &quot;height&quot;: H} を指定してください</translation>
    </message>
    <message>
        <source>fill</source>
        <translation>塗りの種類</translation>
    </message>
    <message>
        <source>fill.kind &quot;texture&quot; needs fill.texture; give the texture&apos;s file or the kind &quot;colour&quot;</source>
        <translation>fill.kind &quot;texture&quot; には fill.texture が必要です。画像ファイルを指定するか、種類を &quot;colour&quot; にしてください</translation>
    </message>
    <message>
        <source>effect</source>
        <translation>効果の種類</translation>
    </message>
    <message>
        <source>descriptor format</source>
        <translation>記述ファイルの形式</translation>
    </message>
    <message>
        <source>pitch</source>
        <translation>送り幅</translation>
    </message>
    <message>
        <source>output.fnt and output.json describe a sheet; add output.sheet</source>
        <translation>output.fnt と output.json はシートを記述するものです。output.sheet を指定してください</translation>
    </message>
    <message>
        <source>it is not JSON: at line %1, column %2: %3</source>
        <translation>JSON ではありません: %1 行目 %2 列目: %3</translation>
    </message>
    <message>
        <source>it is not a JSON object of settings; a project is {&quot;karuvo&quot;: 1, ...}</source>
        <translation>設定の JSON オブジェクトではありません。プロジェクトは {&quot;karuvo&quot;: 1, ...} の形です</translation>
    </message>
    <message>
        <source>The project %1: %2</source>
        <translation>プロジェクト %1: %2</translation>
    </message>
    <message>
        <source>Cannot read the project %1: %2</source>
        <translation>プロジェクト %1 を読み込めません: %2</translation>
    </message>
    <message>
        <source>it is larger than 64 MiB</source>
        <translation>64 MiB より大きいファイルです</translation>
    </message>
    <message>
        <source>it is %1, not a project file</source>
        <translation>プロジェクトファイルではなく%1です</translation>
    </message>
    <message>
        <source>no such file</source>
        <translation>ファイルがありません</translation>
    </message>
    <message>
        <source>it is not a regular file</source>
        <translation>通常のファイルではありません</translation>
    </message>
    <message>
        <source>it cannot be opened</source>
        <translation>開けません</translation>
    </message>
    <message>
        <source>it cannot be read</source>
        <translation>読み込めません</translation>
    </message>
    <message>
        <source>%1: the value %2 holds a control character (line break, tab, ...); give it without one</source>
        <translation>%1: 値 %2 に制御文字（改行、タブなど）が含まれています。制御文字を除いて指定してください</translation>
    </message>
    <message>
        <source>%1 is given an empty value; give a name</source>
        <translation>%1 の値が空です。名前を指定してください</translation>
    </message>
    <message>
        <source>%1: the colour %2 is not six hexadecimal digits; give it red first, e.g. FF8000 or #FF8000</source>
        <translation>%1: 色 %2 は 6 桁の 16 進数ではありません。赤から順に指定してください（例: FF8000 または #FF8000）</translation>
    </message>
    <message>
        <source>%1: the font size %2 is not a number; give the size in pixels, 1 to %3</source>
        <translation>%1: フォントサイズ %2 は数値ではありません。1 から %3 までのピクセル数を指定してください</translation>
    </message>
    <message>
        <source>%1: the font size %2 is out of range; give the size in pixels, 1 to %3</source>
        <translation>%1: フォントサイズ %2 は範囲外です。1 から %3 までのピクセル数を指定してください</translation>
    </message>
    <message>
        <source>%1: the cell size %2 is not WIDTHxHEIGHT; give the width and height in pixels, e.g. 32x32</source>
        <translation>%1: セルのサイズ %2 が 幅x高さ の形ではありません。幅と高さをピクセル数で指定してください（例: 32x32）</translation>
    </message>
    <message>
        <source>cell width</source>
        <translation>セルの幅</translation>
    </message>
    <message>
        <source>cell height</source>
        <translation>セルの高さ</translation>
    </message>
    <message>
        <source>%1: the %2 %3 is not a number; give the width and height in pixels, e.g. 32x32</source>
        <translation>%1: %2 %3 は数値ではありません。幅と高さをピクセル数で指定してください（例: 32x32）</translation>
    </message>
    <message>
        <source>%1: the %2 %3 is too large; give at most 2147483647 pixels</source>
        <translation>%1: %2 %3 は大きすぎます。2147483647 ピクセル以下にしてください</translation>
    </message>
    <message>
        <source>%1: the cell size %2 has no area; give a width and a height of at least 1 pixel</source>
        <translation>%1: セルのサイズ %2 には面積がありません。幅と高さを 1 ピクセル以上にしてください</translation>
    </message>
    <message>
        <source>%1: the offset %2 is not a number; give two whole numbers of pixels, e.g. 2,2</source>
        <translation>%1: オフセット %2 は数値ではありません。ピクセル数を 2 つの整数で指定してください（例: 2,2）</translation>
    </message>
    <message>
        <source>%1: the offset %2 is too large; give a number from -2147483648 to 2147483647</source>
        <translation>%1: オフセット %2 は大きすぎます。-2147483648 から 2147483647 までの数を指定してください</translation>
    </message>
    <message>
        <source>%1: the radius %2 is not a number; give a whole number from 0 to %3</source>
        <translation>%1: 半径 %2 は数値ではありません。0 から %3 までの整数を指定してください</translation>
    </message>
    <message>
        <source>%1: the radius %2 is out of range; give a whole number from 0 to %3</source>
        <translation>%1: 半径 %2 は範囲外です。0 から %3 までの整数を指定してください</translation>
    </message>
    <message>
        <source>; give the distance range in pixels, a whole number from 1 to 64</source>
        <translation>。距離の範囲を 1 から 64 までの整数のピクセル数で指定してください</translation>
    </message>
    <message>
        <source>distance range</source>
        <translation>距離の範囲</translation>
    </message>
    <message>
        <source>%1: the %2 %3 is out of range%4</source>
        <translation>%1: %2 %3 は範囲外です%4</translation>
    </message>
    <message>
        <source>%1: the %2 %3 is not a number%4</source>
        <translation>%1: %2 %3 は数値ではありません%4</translation>
    </message>
    <message>
        <source>column count</source>
        <translation>列数</translation>
    </message>
    <message>
        <source>; give the number of cells in a row, at least 1</source>
        <translation>。1 行のセルの数を 1 以上で指定してください</translation>
    </message>
    <message>
        <source>page size</source>
        <translation>ページのサイズ</translation>
    </message>
    <message>
        <source>; give the largest side of a page in pixels, e.g. 1024</source>
        <translation>。ページの最大辺をピクセル数で指定してください（例: 1024）</translation>
    </message>
    <message>
        <source>face index</source>
        <translation>フェイス番号</translation>
    </message>
    <message>
        <source>; give the number of a face of the font file, from 0</source>
        <translation>。フォントファイルのフェイスの番号を 0 から指定してください</translation>
    </message>
    <message>
        <source>%1: the %2 %3 is not one of %4; give one of them</source>
        <translation>%1: %2 %3 は %4 のいずれでもありません。いずれかを指定してください</translation>
    </message>
    <message>
        <source>%1: the sheet file %2 does not end in .bmp or .png; give .bmp for a 24-bit bitmap or .png for transparency</source>
        <translation>%1: シートのファイル名 %2 が .bmp でも .png でも終わっていません。24 ビットのビットマップには .bmp を、透過には .png を指定してください</translation>
    </message>
    <message>
        <source>%1: no character set is called %2; give one of %3</source>
        <translation>%1: %2 という文字セットはありません。%3 のいずれかを指定してください</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>%1 and %2 exclude each other: a distance field holds the glyphs&apos; shape alone, effects belong in the shader; drop one of them</source>
        <translation>%1 と %2 は同時に指定できません。距離フィールドは字形だけを持ち、効果はシェーダーで付けます。どちらかを外してください</translation>
    </message>
    <message>
        <source>%1 and %2 exclude each other: the field is held in the alpha channel of a PNG sheet; give output.sheet a name ending in .png</source>
        <translation>%1 と %2 は同時に指定できません。距離フィールドは PNG シートのアルファチャンネルに入ります。output.sheet には .png で終わる名前を指定してください</translation>
    </message>
    <message>
        <source>%1 and %2 exclude each other: the binary form cannot say that the page is a distance field; give output.fntFormat &quot;text&quot; or &quot;xml&quot;</source>
        <translation>%1 と %2 は同時に指定できません。バイナリ形式ではページが距離フィールドであることを書けません。output.fntFormat に &quot;text&quot; または &quot;xml&quot; を指定してください</translation>
    </message>
    <message>
        <source>%1 and %2 exclude each other: colour glyphs keep their own colours, and %2 rests on glyphs drawn in one colour; drop one of them</source>
        <translation>%1 と %2 は同時に指定できません。カラーグリフは自分の色を保ちますが、%2 は一色で描いたグリフを前提とします。どちらかを外してください</translation>
    </message>
    <message>
        <source>the item &quot;%1&quot; %2</source>
        <translation>項目 &quot;%1&quot; は%2</translation>
    </message>
    <message>
        <source>has more than six hexadecimal digits; give at most U+10FFFF</source>
        <translation>16 進数が 6 桁を超えています。U+10FFFF 以下を指定してください</translation>
    </message>
    <message>
        <source>is past U+10FFFF, the last code point</source>
        <translation>最後のコードポイント U+10FFFF を超えています</translation>
    </message>
    <message>
        <source>is empty; separate the items by single commas and write a comma as U+002C</source>
        <translation>空です。項目はコンマ 1 つで区切り、コンマ自体は U+002C と書いてください</translation>
    </message>
    <message>
        <source>is a control character or a surrogate, which takes no cell</source>
        <translation>制御文字またはサロゲートで、セルを持ちません</translation>
    </message>
    <message>
        <source>runs backwards; give the lower code point first</source>
        <translation>範囲が逆順です。小さいコードポイントを先に指定してください</translation>
    </message>
    <message>
        <source>is neither one character, U+XXXX nor U+XXXX-U+YYYY; separate characters by commas</source>
        <translation>1 文字でも U+XXXX でも U+XXXX-U+YYYY でもありません。文字はコンマで区切ってください</translation>
    </message>
    <message>
        <source>the key %1 is given twice, at line %2 and at line %3; keep one of them</source>
        <translation>キー %1 が %2 行目と %3 行目の 2 回指定されています。どちらか一方にしてください</translation>
    </message>
    <message>
        <source>%1 Nothing was written.</source>
        <translation>%1ファイルは書き込まれていません。</translation>
    </message>
    <message>
        <source>The ink of %1 reaches past cells of %2 x %3 pixels, and the descriptors&apos; rectangles stop at the cell&apos;s edge; cells of %4 x %5 would hold it</source>
        <translation>%1 のインクがはみ出しています: %4 × %5 のセルなら収まります（今は %2 × %3 で、記述ファイルの矩形はセルの端で切れています）</translation>
    </message>
    <message>
        <source>A distance field&apos;s colour is set in the shader, so the fill colour is not written; red, green, blue and alpha all hold the field</source>
        <translation>距離フィールドの色はシェーダーで決まるため、塗りの色は書き込まれません。赤・緑・青・アルファのすべてにフィールドが入ります</translation>
    </message>
    <message>
        <source>field type</source>
        <translation>フィールドの種類</translation>
    </message>
    <message>
        <source>output.fieldType needs output.distanceRange; add the range or drop the type</source>
        <translation>output.fieldType には output.distanceRange が必要です。範囲を指定するか、種類を削除してください</translation>
    </message>
</context>
</TS>
