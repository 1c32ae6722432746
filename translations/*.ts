<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>tavrin::editor::TFormEdit</name>
    <message>
        <source>声音编辑器</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Playback Devices</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Start - </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>End - </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Length - </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>文件</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>打开...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>保存所有为...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>保存选定部分为...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>打开资源管理器</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>退出</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>编辑</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>撤消</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>恢复</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>剪切</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>复制</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>粘贴</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>删除</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>全选</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>效果</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>淡入</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>淡出</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>放大 +/- ...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>标准化</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>插入静音</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>选项</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>保存设置...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>播放设备</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>帮助</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>帮助内容</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>关于</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>保存所有为</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>另存当前所选为...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>保存设置</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>重做</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>播放全部</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>播放选区</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>停止</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Amplify</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Insert Silence</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Insert Silence in seconds:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>波形</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>声音的波形，带所选区域和播放位置</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>tavrin::editor::VolumeSlider</name>
    <message>
        <source>回放音量</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>tavrin::exporter::TFormProgress</name>
    <message>
        <source>保存</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>正在保存...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>取消</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>tavrin::recorder_ui::KnobWidget</name>
    <message>
        <source>刻录音量</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>tavrin::recorder_ui::TFormAbout</name>
    <message>
        <source>关于</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>tavrin::recorder_ui::TFormMain</name>
    <message>
        <source>连续</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Lost %1 s | </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>End - </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please, select and enable an audio source!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Are you sure you want to interrupt recording?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The settings were not saved to %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>电平表</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>左右声道的输入电平和直流偏移，录音时间和可录时间</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>音频设备控制</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>进程正在录制</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>来源</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>录音源</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Reduce DC Offset</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>减少直流偏移</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>减少</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>电平图</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>录音时左右声道电平的走势</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>刻录模式</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>记录</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>停止</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>编辑</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>编辑并保存</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>保存</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>文件</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>打开...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>另存为...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>打开资源管理器</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>退出</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>选项</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>保存设置...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>定时录音...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>窗口颜色...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>帮助</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>帮助内容</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>关于</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No sound recorded.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Recording Volume</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>最小化到托盘</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Record</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stop</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show window</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Exit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>跟随系统默认</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>声音设置...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 的声音 (monitor)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>tavrin::recorder_ui::TFormTimer</name>
    <message>
        <source>定时录音</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>启用定时</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Record at the times below</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>开始</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>立即</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>时间</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The next time this time of day comes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Start time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>停止</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>手动</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>时长</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Duration (at most 10 hours)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stop time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>每天</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Repeat every day</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>声控录音</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>启用</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Record only while there is sound (Record starts waiting)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>阈值 (dBFS)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sound louder than this starts a take</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>预录 (秒)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Seconds kept before the sound</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>静音等待 (秒)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Seconds of silence before the take pauses</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>静音时暂停</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>One take; silences are left out</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>每段存为文件</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Every sound is saved as a file of its own</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>登录时启动</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Start Tavrin Recorder minimised at login</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>定时启用时，电脑不会进入睡眠。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>While the timer is armed the computer is kept from sleeping</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>确定</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>取消</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>tavrin::recovery::TFormInfo</name>
    <message>
        <source>Tavrin Recorder找到已录波形文件:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>你要如何处理已录波形文件?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>载入</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>忽略</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>tavrin::settings::TFormColors</name>
    <message>
        <source>可用颜色</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>颜色%1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>tavrin::settings::TFormSaveSettings</name>
    <message>
        <source>采样频率</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>通道</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>立体声</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>单声道</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>比特/采样</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>16位</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>保存设置</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>确定</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>比特率, kbps</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>声道模式</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>扩展立体声</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>版权</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>原始</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>专用</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>VBR - 变码率</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>启用变码率</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>最低码率</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>最高码率</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>VBR 质量</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>较好</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>较快</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>压缩级别</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>较小</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
