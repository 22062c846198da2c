int N = 16;
double a[16];
int main(void)
{
  int i;
#pragma resource [1][1]
  for (i = 1; i < N; i++) {
#pragma latency [sizeof(int)][1]
    a[i] = a[i - 1];
  }
  return 0;
}
