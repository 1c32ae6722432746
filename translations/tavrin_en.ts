<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>tavrin::editor::TFormEdit</name>
    <message>
        <source>声音编辑器</source>
        <translation>Sound Editor</translation>
    </message>
    <message>
        <source>Start - </source>
        <translation>Start - </translation>
    </message>
    <message>
        <source>End - </source>
        <translation>End - </translation>
    </message>
    <message>
        <source>Length - </source>
        <translation>Length - </translation>
    </message>
    <message>
        <source>文件</source>
        <translation>File</translation>
    </message>
    <message>
        <source>打开资源管理器</source>
        <translation>Open output folder</translation>
    </message>
    <message>
        <source>编辑</source>
        <translation>Edit</translation>
    </message>
    <message>
        <source>撤消</source>
        <translation>Undo</translation>
    </message>
    <message>
        <source>剪切</source>
        <translation>Cut</translation>
    </message>
    <message>
        <source>复制</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>粘贴</source>
        <translation>Paste</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>效果</source>
        <translation>Effects</translation>
    </message>
    <message>
        <source>淡入</source>
        <translation>Fade in</translation>
    </message>
    <message>
        <source>淡出</source>
        <translation>Fade out</translation>
    </message>
    <message>
        <source>放大 +/- ...</source>
        <translation>Amplify +/- ...</translation>
    </message>
    <message>
        <source>标准化</source>
        <translation>Normalize</translation>
    </message>
    <message>
        <source>插入静音</source>
        <translation>Insert silence</translation>
    </message>
    <message>
        <source>播放设备</source>
        <translation>Playback devices</translation>
    </message>
    <message>
        <source>保存所有为</source>
        <translation>Save all as</translation>
    </message>
    <message>
        <source>另存当前所选为...</source>
        <translation>Save selection as...</translation>
    </message>
    <message>
        <source>保存设置</source>
        <translation>Save settings</translation>
    </message>
    <message>
        <source>重做</source>
        <translation>Redo</translation>
    </message>
    <message>
        <source>播放全部</source>
        <translation>Play all</translation>
    </message>
    <message>
        <source>播放选区</source>
        <translation>Play selection</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>Amplify</source>
        <translation>Amplify</translation>
    </message>
    <message>
        <source>Insert Silence</source>
        <translation>Insert Silence</translation>
    </message>
    <message>
        <source>Insert Silence in seconds:</source>
        <translation>Insert Silence in seconds:</translation>
    </message>
    <message>
        <source>波形</source>
        <translation>Waveform</translation>
    </message>
    <message>
        <source>波形位置</source>
        <translation>Waveform position</translation>
    </message>
    <message>
        <source>光标 %1，选区 %2 至 %3</source>
        <translation>cursor %1, selection %2 to %3</translation>
    </message>
    <message>
        <source>光标 %1，未选择</source>
        <translation>cursor %1, nothing selected</translation>
    </message>
    <message>
        <source>文件(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>打开(&amp;O)...</source>
        <translation>&amp;Open...</translation>
    </message>
    <message>
        <source>保存所有为(&amp;A)...</source>
        <translation>Save &amp;all as...</translation>
    </message>
    <message>
        <source>保存选定部分为(&amp;S)...</source>
        <translation>&amp;Save selection as...</translation>
    </message>
    <message>
        <source>打开资源管理器(&amp;E)</source>
        <translation>Open output &amp;folder</translation>
    </message>
    <message>
        <source>退出(&amp;X)</source>
        <translation>&amp;Close</translation>
    </message>
    <message>
        <source>编辑(&amp;E)</source>
        <translation>&amp;Edit</translation>
    </message>
    <message>
        <source>撤消(&amp;U)</source>
        <translation>&amp;Undo</translation>
    </message>
    <message>
        <source>恢复(&amp;R)</source>
        <translation>&amp;Redo</translation>
    </message>
    <message>
        <source>剪切(&amp;T)</source>
        <translation>Cu&amp;t</translation>
    </message>
    <message>
        <source>复制(&amp;C)</source>
        <translation>&amp;Copy</translation>
    </message>
    <message>
        <source>粘贴(&amp;P)</source>
        <translation>&amp;Paste</translation>
    </message>
    <message>
        <source>删除(&amp;D)</source>
        <translation>&amp;Delete</translation>
    </message>
    <message>
        <source>全选(&amp;A)</source>
        <translation>Select &amp;all</translation>
    </message>
    <message>
        <source>效果(&amp;C)</source>
        <translation>Effe&amp;cts</translation>
    </message>
    <message>
        <source>淡入(&amp;I)</source>
        <translation>Fade &amp;in</translation>
    </message>
    <message>
        <source>淡出(&amp;O)</source>
        <translation>Fade &amp;out</translation>
    </message>
    <message>
        <source>放大 +/-(&amp;A)...</source>
        <translation>&amp;Amplify +/- ...</translation>
    </message>
    <message>
        <source>标准化(&amp;N)</source>
        <translation>&amp;Normalize</translation>
    </message>
    <message>
        <source>插入静音(&amp;S)</source>
        <translation>Insert &amp;silence</translation>
    </message>
    <message>
        <source>播放(&amp;P)</source>
        <translation>&amp;Play</translation>
    </message>
    <message>
        <source>从光标处播放(&amp;C)</source>
        <translation>Play from &amp;cursor</translation>
    </message>
    <message>
        <source>播放全部(&amp;A)</source>
        <translation>Play &amp;all</translation>
    </message>
    <message>
        <source>播放选区(&amp;S)</source>
        <translation>Play &amp;selection</translation>
    </message>
    <message>
        <source>停止(&amp;T)</source>
        <translation>S&amp;top</translation>
    </message>
    <message>
        <source>选项(&amp;O)</source>
        <translation>&amp;Options</translation>
    </message>
    <message>
        <source>保存设置(&amp;S)...</source>
        <translation>&amp;Save settings...</translation>
    </message>
    <message>
        <source>帮助(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>帮助内容(&amp;H)</source>
        <translation>&amp;Help contents</translation>
    </message>
    <message>
        <source>关于(&amp;A)</source>
        <translation>&amp;About</translation>
    </message>
    <message>
        <source>播放</source>
        <translation>Play</translation>
    </message>
    <message>
        <source>回放音量</source>
        <translation>Playback volume</translation>
    </message>
    <message>
        <source>放大波形</source>
        <translation>Zoom in</translation>
    </message>
    <message>
        <source>缩小波形</source>
        <translation>Zoom out</translation>
    </message>
    <message>
        <source>显示 %1 至 %2，共 %3</source>
        <translation>showing %1 to %2 of %3</translation>
    </message>
    <message>
        <source>&amp;Playback Devices</source>
        <translation>&amp;Playback Devices</translation>
    </message>
    <message>
        <source>更多按钮</source>
        <translation>More buttons</translation>
    </message>
</context>
<context>
    <name>tavrin::editor::VolumeSlider</name>
    <message>
        <source>回放音量</source>
        <translation>Playback volume</translation>
    </message>
</context>
<context>
    <name>tavrin::exporter::TFormProgress</name>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>正在保存...</source>
        <translation>Saving...</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>tavrin::recorder_ui::KnobWidget</name>
    <message>
        <source>刻录音量</source>
        <translation>Recording volume</translation>
    </message>
</context>
<context>
    <name>tavrin::recorder_ui::MeterReadout</name>
    <message>
        <source>，削波</source>
        <translation>, clipping</translation>
    </message>
</context>
<context>
    <name>tavrin::recorder_ui::TFormAbout</name>
    <message>
        <source>关于</source>
        <translation>About</translation>
    </message>
</context>
<context>
    <name>tavrin::recorder_ui::TFormMain</name>
    <message>
        <source>连续</source>
        <translation>Continuous</translation>
    </message>
    <message>
        <source>Lost %1 s | </source>
        <translation>Lost %1 s | </translation>
    </message>
    <message>
        <source>End - </source>
        <translation>End - </translation>
    </message>
    <message>
        <source>Please, select and enable an audio source!</source>
        <translation>Please, select and enable an audio source!</translation>
    </message>
    <message>
        <source>Are you sure you want to interrupt recording?</source>
        <translation>Are you sure you want to interrupt recording?</translation>
    </message>
    <message>
        <source>The settings were not saved to %1: %2</source>
        <translation>The settings were not saved to %1: %2</translation>
    </message>
    <message>
        <source>电平表</source>
        <translation>Level meters</translation>
    </message>
    <message>
        <source>音频设备控制</source>
        <translation>Audio device control</translation>
    </message>
    <message>
        <source>进程正在录制</source>
        <translation>Recording progress</translation>
    </message>
    <message>
        <source>来源</source>
        <translation>Source</translation>
    </message>
    <message>
        <source>录音源</source>
        <translation>Recording source</translation>
    </message>
    <message>
        <source>Reduce DC Offset</source>
        <translation>Reduce DC Offset</translation>
    </message>
    <message>
        <source>减少直流偏移</source>
        <translation>Reduce DC offset</translation>
    </message>
    <message>
        <source>减少</source>
        <translation>Reduce</translation>
    </message>
    <message>
        <source>电平图</source>
        <translation>Level chart</translation>
    </message>
    <message>
        <source>录音时左右声道电平的走势</source>
        <translation>The level of both channels over the take</translation>
    </message>
    <message>
        <source>刻录模式</source>
        <translation>Recording mode</translation>
    </message>
    <message>
        <source>记录</source>
        <translation>Record</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>编辑</source>
        <translation>Edit</translation>
    </message>
    <message>
        <source>编辑并保存</source>
        <translation>Edit and save</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>No sound recorded.</source>
        <translation>No sound recorded.</translation>
    </message>
    <message>
        <source>Recording Volume</source>
        <translation>Recording Volume</translation>
    </message>
    <message>
        <source>跟随系统默认</source>
        <translation>Follow the system default</translation>
    </message>
    <message>
        <source>声音设置...</source>
        <translation>Sound settings...</translation>
    </message>
    <message>
        <source>%1 的声音 (monitor)</source>
        <translation>What %1 plays (monitor)</translation>
    </message>
    <message>
        <source>Loop 3 min</source>
        <translation>Loop 3 min</translation>
    </message>
    <message>
        <source>Loop 5 min</source>
        <translation>Loop 5 min</translation>
    </message>
    <message>
        <source>Loop10 min</source>
        <translation>Loop 10 min</translation>
    </message>
    <message>
        <source>Loop15 min</source>
        <translation>Loop 15 min</translation>
    </message>
    <message>
        <source>Loop 20 min</source>
        <translation>Loop 20 min</translation>
    </message>
    <message>
        <source>Loop 30 min</source>
        <translation>Loop 30 min</translation>
    </message>
    <message>
        <source>Loop 60 min</source>
        <translation>Loop 60 min</translation>
    </message>
    <message>
        <source>没有输入</source>
        <translation>No input</translation>
    </message>
    <message>
        <source>录音时间</source>
        <translation>Time recorded</translation>
    </message>
    <message>
        <source>文件(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>打开(&amp;O)...</source>
        <translation>&amp;Open...</translation>
    </message>
    <message>
        <source>另存为(&amp;A)...</source>
        <translation>Save &amp;as...</translation>
    </message>
    <message>
        <source>打开资源管理器(&amp;E)</source>
        <translation>Open output &amp;folder</translation>
    </message>
    <message>
        <source>退出(&amp;X)</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>选项(&amp;O)</source>
        <translation>&amp;Options</translation>
    </message>
    <message>
        <source>保存设置(&amp;S)...</source>
        <translation>&amp;Save settings...</translation>
    </message>
    <message>
        <source>定时录音(&amp;T)...</source>
        <translation>&amp;Timed recording...</translation>
    </message>
    <message>
        <source>窗口颜色(&amp;C)...</source>
        <translation>Window &amp;colours...</translation>
    </message>
    <message>
        <source>帮助(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>帮助内容(&amp;H)</source>
        <translation>&amp;Help contents</translation>
    </message>
    <message>
        <source>关于(&amp;A)</source>
        <translation>&amp;About</translation>
    </message>
    <message>
        <source>输入电平 左 %1 dB，右 %2 dB；直流偏移 左 %3 %，右 %4 %</source>
        <translation>Input level left %1 dB, right %2 dB; DC offset left %3 %, right %4 %</translation>
    </message>
    <message>
        <source>；削波</source>
        <translation>; clipping</translation>
    </message>
    <message>
        <source>；正在录音</source>
        <translation>; recording</translation>
    </message>
    <message>
        <source>录音源(&amp;R)</source>
        <translation>&amp;Recording source</translation>
    </message>
    <message>
        <source>最小化到托盘(&amp;M)</source>
        <translation>&amp;Minimise to tray</translation>
    </message>
    <message>
        <source>显示窗口(&amp;S)</source>
        <translation>&amp;Show window</translation>
    </message>
    <message>
        <source>正在录音</source>
        <translation>Recording</translation>
    </message>
    <message>
        <source>已停止</source>
        <translation>Stopped</translation>
    </message>
    <message>
        <source>已停止，录音 %1 未保存</source>
        <translation>Stopped, take %1 not saved</translation>
    </message>
    <message>
        <source>已停止，录音 %1 已保存</source>
        <translation>Stopped, take %1 saved</translation>
    </message>
    <message>
        <source>同时录制第二个来源(&amp;2)</source>
        <translation>Also record a second source (&amp;2)</translation>
    </message>
    <message>
        <source>无</source>
        <translation>None</translation>
    </message>
    <message>
        <source>混合到两个声道(&amp;M)</source>
        <translation>&amp;Mixed into both channels</translation>
    </message>
    <message>
        <source>并排：第一个在左，第二个在右(&amp;B)</source>
        <translation>Side &amp;by side: the first left, the second right</translation>
    </message>
    <message>
        <source>第二个来源的电平(&amp;E)</source>
        <translation>L&amp;evel of the second source</translation>
    </message>
    <message>
        <source>第一个来源的电平(&amp;F)</source>
        <translation>Level of the &amp;first source</translation>
    </message>
    <message>
        <source>静音</source>
        <translation>Silent</translation>
    </message>
    <message>
        <source>%1 又在录音里了</source>
        <translation>%1 is in the take again</translation>
    </message>
    <message>
        <source>%1 没有声音送来；录音继续，它那一份是静音</source>
        <translation>%1 delivers no sound; the take goes on with silence in its place</translation>
    </message>
    <message>
        <source>；第一个来源 %1 dB，第二个来源 %2 dB</source>
        <translation>; first source %1 dB, second source %2 dB</translation>
    </message>
    <message>
        <source>左声道输入电平</source>
        <translation>Input level, left</translation>
    </message>
    <message>
        <source>右声道输入电平</source>
        <translation>Input level, right</translation>
    </message>
    <message>
        <source>左声道直流偏移</source>
        <translation>DC offset, left</translation>
    </message>
    <message>
        <source>右声道直流偏移</source>
        <translation>DC offset, right</translation>
    </message>
    <message>
        <source>第二个来源缺 %1 秒 | </source>
        <translation>Second source missing %1 s | </translation>
    </message>
    <message>
        <source>每个来源的电平</source>
        <translation>Each source&apos;s level</translation>
    </message>
    <message>
        <source>第一个 %1 dB | 第二个 %2 dB</source>
        <translation>First %1 dB | Second %2 dB</translation>
    </message>
    <message>
        <source>第一个 %1 dB | 第二个：无信号</source>
        <translation>First %1 dB | Second: missing</translation>
    </message>
</context>
<context>
    <name>tavrin::recorder_ui::TFormTimer</name>
    <message>
        <source>定时录音</source>
        <translation>Timed recording</translation>
    </message>
    <message>
        <source>Record at the times below</source>
        <translation>Record at the times below</translation>
    </message>
    <message>
        <source>开始</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>The next time this time of day comes</source>
        <translation>The next time this time of day comes</translation>
    </message>
    <message>
        <source>Start time</source>
        <translation>Start time</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>Duration (at most 10 hours)</source>
        <translation>Duration (at most 10 hours)</translation>
    </message>
    <message>
        <source>Stop time</source>
        <translation>Stop time</translation>
    </message>
    <message>
        <source>Repeat every day</source>
        <translation>Repeat every day</translation>
    </message>
    <message>
        <source>声控录音</source>
        <translation>Sound activation</translation>
    </message>
    <message>
        <source>Record only while there is sound (Record starts waiting)</source>
        <translation>Record only while there is sound (Record starts waiting)</translation>
    </message>
    <message>
        <source>Sound louder than this starts a take</source>
        <translation>Sound louder than this starts a take</translation>
    </message>
    <message>
        <source>Seconds kept before the sound</source>
        <translation>Seconds kept before the sound</translation>
    </message>
    <message>
        <source>Seconds of silence before the take pauses</source>
        <translation>Seconds of silence before the take pauses</translation>
    </message>
    <message>
        <source>One take; silences are left out</source>
        <translation>One take; silences are left out</translation>
    </message>
    <message>
        <source>Every sound is saved as a file of its own</source>
        <translation>Every sound is saved as a file of its own</translation>
    </message>
    <message>
        <source>Start Tavrin Recorder minimised at login</source>
        <translation>Start Tavrin Recorder minimised at login</translation>
    </message>
    <message>
        <source>定时启用时，电脑不会进入睡眠。</source>
        <translation>No sleep while the timer is on.</translation>
    </message>
    <message>
        <source>While the timer is armed the computer is kept from sleeping</source>
        <translation>While the timer is armed the computer is kept from sleeping</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>启用定时(&amp;I)</source>
        <translation>T&amp;imer on</translation>
    </message>
    <message>
        <source>立即(&amp;N)</source>
        <translation>&amp;Now</translation>
    </message>
    <message>
        <source>时间(&amp;A)</source>
        <translation>&amp;At</translation>
    </message>
    <message>
        <source>开始时间</source>
        <translation>Start time</translation>
    </message>
    <message>
        <source>手动(&amp;M)</source>
        <translation>&amp;Manual</translation>
    </message>
    <message>
        <source>时长(&amp;F)</source>
        <translation>A&amp;fter</translation>
    </message>
    <message>
        <source>录音时长</source>
        <translation>Duration</translation>
    </message>
    <message>
        <source>时间(&amp;T)</source>
        <translation>A&amp;t</translation>
    </message>
    <message>
        <source>停止时间</source>
        <translation>Stop time</translation>
    </message>
    <message>
        <source>每天(&amp;D)</source>
        <translation>Every &amp;day</translation>
    </message>
    <message>
        <source>启用(&amp;O)</source>
        <translation>&amp;On</translation>
    </message>
    <message>
        <source>阈值(&amp;R) (dBFS)</source>
        <translation>T&amp;rigger (dBFS)</translation>
    </message>
    <message>
        <source>预录(&amp;P) (秒)</source>
        <translation>&amp;Pre-roll (s)</translation>
    </message>
    <message>
        <source>静音等待(&amp;W) (秒)</source>
        <translation>Silence &amp;wait (s)</translation>
    </message>
    <message>
        <source>静音时暂停(&amp;U)</source>
        <translation>Pa&amp;use in silence</translation>
    </message>
    <message>
        <source>每段存为文件(&amp;S)</source>
        <translation>A file per &amp;sound</translation>
    </message>
    <message>
        <source>登录时启动(&amp;L)</source>
        <translation>Start at &amp;login</translation>
    </message>
</context>
<context>
    <name>tavrin::recovery::TFormInfo</name>
    <message>
        <source>Tavrin Recorder找到已录波形文件:</source>
        <translation>Tavrin Recorder found a recorded take:</translation>
    </message>
    <message>
        <source>你要如何处理已录波形文件?</source>
        <translation>What do you want to do with it?</translation>
    </message>
    <message>
        <source>载入</source>
        <translation>Load</translation>
    </message>
    <message>
        <source>忽略</source>
        <translation>Ignore</translation>
    </message>
</context>
<context>
    <name>tavrin::settings::TFormColors</name>
    <message>
        <source>可用颜色</source>
        <translation>Window colours</translation>
    </message>
    <message>
        <source>颜色%1</source>
        <translation>Colour %1</translation>
    </message>
    <message>
        <source>当前颜色</source>
        <translation>Current colour</translation>
    </message>
</context>
<context>
    <name>tavrin::settings::TFormSaveSettings</name>
    <message>
        <source>立体声</source>
        <translation>Stereo</translation>
    </message>
    <message>
        <source>单声道</source>
        <translation>Mono</translation>
    </message>
    <message>
        <source>16位</source>
        <translation>16 bit</translation>
    </message>
    <message>
        <source>保存设置</source>
        <translation>Save settings</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>扩展立体声</source>
        <translation>Joint stereo</translation>
    </message>
    <message>
        <source>VBR - 变码率</source>
        <translation>VBR - variable bit rate</translation>
    </message>
    <message>
        <source>较好</source>
        <translation>Better</translation>
    </message>
    <message>
        <source>较快</source>
        <translation>Faster</translation>
    </message>
    <message>
        <source>较小</source>
        <translation>Smaller</translation>
    </message>
    <message>
        <source>采样频率(&amp;S)</source>
        <translation>&amp;Sample rate</translation>
    </message>
    <message>
        <source>通道(&amp;C)</source>
        <translation>&amp;Channels</translation>
    </message>
    <message>
        <source>比特/采样(&amp;B)</source>
        <translation>&amp;Bits/sample</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>比特率(&amp;R), kbps</source>
        <translation>Bit &amp;rate, kbps</translation>
    </message>
    <message>
        <source>声道模式(&amp;M)</source>
        <translation>Channel &amp;mode</translation>
    </message>
    <message>
        <source>版权(&amp;Y)</source>
        <translation>Cop&amp;yright</translation>
    </message>
    <message>
        <source>原始(&amp;I)</source>
        <translation>Or&amp;iginal</translation>
    </message>
    <message>
        <source>专用(&amp;P)</source>
        <translation>&amp;Private</translation>
    </message>
    <message>
        <source>启用变码率(&amp;V)</source>
        <translation>Use &amp;VBR</translation>
    </message>
    <message>
        <source>最低码率(&amp;L)</source>
        <translation>&amp;Lowest bit rate</translation>
    </message>
    <message>
        <source>最高码率(&amp;H)</source>
        <translation>&amp;Highest bit rate</translation>
    </message>
    <message>
        <source>VBR 质量(&amp;Q)</source>
        <translation>VBR &amp;quality</translation>
    </message>
    <message>
        <source>压缩级别(&amp;L)</source>
        <translation>Compression &amp;level</translation>
    </message>
</context>
</TS>
